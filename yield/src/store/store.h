// Where runs are kept. The store knows nothing of log lines: it takes run records and gives back
// what the reports and exports read. One implementation per database engine; the SQL lives in
// sqlText.h.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "runRecord.h"

namespace yield {

// A database that cannot be opened, read or written. The one error that ends an ingest.
struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A batch the database gave up so that another could go on (two ingests waiting on each other):
// rolled back, it can be tried again.
struct StoreRetry : StoreError {
    using StoreError::StoreError;
};

// What one file holds is past one of the database's limits (a key longer than its index takes):
// the batch is rolled back and can be redone without that file.
struct StoreRefused : StoreError {
    using StoreError::StoreError;
};

struct SourceFile {
    std::string path;
    long long size = 0;
    long long mtime = 0;  // nanoseconds since the epoch
};

// One file a run's log was found in, or a file that held no run.
struct SourceRow {
    std::string path;
    long long size = 0;
    // "kept" (the copy the run's data comes from), "copy", "problem", or "unread" (a problem
    // the file could not be read for: tried again at every ingest)
    std::string role;
    std::string reason;  // for a problem
    bool complete = false;
    int records = 0;
};

enum class PutOutcome {
    New,       // a run not seen before
    Replaced,  // a more complete copy of a known run: its data now comes from this file
    Copy,      // another copy of a known run, no more complete than the one kept
    Same,      // the file was already recorded with this result: nothing changed
};

// Runs to read: days as YYYY-MM-DD, inclusive; empty means no bound. A run whose stamp gives no
// day passes only a filter without day bounds.
struct RunFilter {
    std::string since;
    std::string until;
    std::string host;
    bool HasDayBound() const { return !since.empty() || !until.empty(); }
};

// What the reports read per run.
struct RunSummary {
    long long id = 0;
    std::string host;
    std::string chipId;
    std::string timeStamp;
    std::string day;
    Verdict verdict = Verdict::Incomplete;
    std::vector<PortResult> ports;
};

struct NamedValue {
    long long runId = 0;
    std::string name;
    double value = 0;
    std::string outcome;
};

class RunStore {
public:
    virtual ~RunStore() = default;

    // Ingest. Writes happen between Begin and Commit; Commit makes a batch durable.
    virtual void Begin() = 0;
    virtual void Commit() = 0;
    virtual void Rollback() = 0;  // drops the batch; never throws
    // True when `file` was recorded before with the same size and time and was read then: no
    // need to read it.
    virtual bool KnownUnchanged(const SourceFile& file) = 0;
    virtual PutOutcome PutRun(const RunRecord& run, const SourceFile& file) = 0;
    // `unread`: the file could not be read, so its size and time say nothing of its contents.
    virtual void PutProblem(const SourceFile& file, const std::string& reason, bool unread) = 0;

    // Reading. Runs come in the order they were first stored, each with its ports.
    virtual void ForEachRun(const RunFilter& filter,
                            const std::function<void(const RunSummary&)>& take) = 0;
    // The analogue readings (measurements in V) by name and value: each distinct value once, with
    // how many readings have it (the NamedValue's run ID and outcome are not set).
    virtual void ForEachVoltReading(
        const RunFilter& filter,
        const std::function<void(const NamedValue&, long long count)>& take) = 0;
    virtual std::vector<long long> RunIds(const RunFilter& filter) = 0;
    // Runs of the filter's host (or of all hosts) whose stamp gives no day, whatever its days.
    virtual long long CountRunsWithoutDay(const RunFilter& filter) = 0;
    virtual std::vector<long long> RunIdsOfChip(const std::string& chipId) = 0;  // newest first
    virtual RunRecord LoadRun(long long id) = 0;
    virtual std::vector<SourceRow> SourcesOf(long long runId) = 0;
    virtual std::vector<SourceRow> ProblemFiles() = 0;
};

// Opens the database `db` names: a PostgreSQL server for "postgresql://..." or "postgres://..."
// (a connection URI), or for "postgresql:" alone (the PG* environment variables); otherwise the
// SQLite file at that path. The tables are created only when `create` is true. Throws StoreError.
std::unique_ptr<RunStore> OpenStore(const std::string& db, bool create);

std::unique_ptr<RunStore> OpenSqliteStore(const std::string& path, bool create);
// `conninfo`: a connection URI, or "" for the PG* environment variables.
std::unique_ptr<RunStore> OpenPgStore(const std::string& conninfo, bool create);

}  // namespace yield
