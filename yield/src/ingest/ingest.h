// Walks folders and files, reads every file as a possible run log and puts what it finds into
// a store. Nothing but a store error (a database that cannot be written) stops it.
#pragma once

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "store/store.h"

namespace yield {

struct IngestStats {
    long long total = 0;  // files found
    long long read = 0;   // files handled so far
    long long runsNew = 0;
    long long replaced = 0;  // a more complete copy, or one whose kept file is gone, took its place
    long long copies = 0;    // further copies of known runs
    long long unchanged = 0;   // recorded before with the same size and time
    long long problems = 0;    // empty, foreign, unreadable or missing; or stored cut to bounds
    long long missing = 0;     // paths given that do not exist (counted in problems too)
    long long clockUnset = 0;  // runs read whose board's clock was unset (runClock.h)
    std::vector<std::pair<std::string, std::string>> problemList;  // path, reason
    // Not whole yet and written to lately, so not stored (IngestOptions::holdUnfinished).
    std::vector<std::string> held;
    std::vector<std::string> unread;  // recorded as unread: to be tried again
    double seconds = 0;
};

// Starts the reason of a run that was stored, cut to the bounds of runBounds.h.
constexpr char kStoredCut[] = "stored cut to bounds: ";
constexpr char kNoSuchPath[] = "no such file or folder";

// Files per transaction.
constexpr long long kIngestBatch = 1000;
// Tries of a batch the database gave up (two ingests waiting on each other) before the ingest
// gives up too.
constexpr int kIngestAttempts = 20;
// Larger files are not read: no run writes a log this big.
constexpr long long kMaxLogBytes = 256LL << 20;

// Reads the regular files under each path (any depth; each folder's entries in name order,
// files walked as they are found, not listed first). A path that does not exist is a problem.
// `progress` is called after each file. Each batch of files is stored whole or not at all.
// The files of `leaveOut` (the database's own, under any name) are not read. Every run found is
// given `station`, or where that is "" the station its markers name (stationMarker.h); a bad
// marker is listed among the problems. Throws StoreError.
IngestStats Ingest(IngestStore& store, const std::vector<std::string>& paths,
                   const std::function<void(const IngestStats&)>& progress,
                   const std::vector<std::string>& leaveOut = {}, const std::string& station = {});

// What an ingest is told beside its files: the arguments of Ingest above, and when to stop.
struct IngestOptions {
    std::function<void(const IngestStats&)> progress;
    std::vector<std::string> leaveOut;
    std::string station;
    // Asked before each batch: true ends the ingest there with IngestStopped, every batch
    // before it stored and nothing of the rest.
    std::function<bool()> stop;
    // A log not whole yet (no verdict line, or empty) whose file changed less than this long
    // ago (by its modification time) is held: not read into the store, listed in `held`. A copy
    // that stalls is still being written, not a failed attempt. Zero stores every log at once.
    std::chrono::seconds holdUnfinished{0};
};

// Thrown by an ingest whose `stop` said so.
struct IngestStopped : std::runtime_error {
    IngestStopped() : std::runtime_error("ingest stopped") {}
};

IngestStats Ingest(IngestStore& store, const std::vector<std::string>& paths,
                   const IngestOptions& options);

// A file to read, with the path it was found under: its station markers are looked for from its
// folder up to `root` (a folder, or the file itself).
struct FoundFile {
    std::string root;
    std::string path;
};

// Reads the files as Ingest reads the files of its paths. A file that is gone is passed over
// (it was there when it was found); none is listed as missing.
IngestStats IngestFound(IngestStore& store, const std::vector<FoundFile>& files,
                        const IngestOptions& options);

// The store's rows of the files at `from` (a file, or every file under a folder) follow them to
// `to`, where they were renamed, in one batch. A batch the database gives up is tried again as an
// ingest's is; one it refuses (a path past its limits) changes nothing. Throws StoreError.
void IngestMoved(IngestStore& store, const std::string& from, const std::string& to);

}  // namespace yield
