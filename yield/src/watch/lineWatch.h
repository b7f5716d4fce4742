// `watch`'s loop: the paths it is given ingested at start, then every file that appears or
// grows under them, in batches, until it is told to stop.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ingest/ingest.h"
#include "watch/treeWatch.h"

namespace yield {

// How long a log that has no verdict line yet must have been left alone before it is stored as an
// incomplete run: longer than a copy from a stick or a share stalls.
constexpr std::chrono::seconds kUnfinishedQuiet{60};

struct LineWatchTimes {
    // A file closed after writing waits this long, so that files copied together are read in
    // one batch.
    std::chrono::milliseconds gather{100};
    // A file being written is read once it has not grown for this long.
    std::chrono::milliseconds settle{500};
    // How often paths that are missing (a stick not mounted) are looked for again.
    std::chrono::milliseconds poll{1000};
    // While a folder cannot be watched, everything is looked at again this often.
    std::chrono::milliseconds rescan{60000};
    size_t mostFolders = kMostWatchedFolders;
    // A log held as not whole yet (BatchOutcome::held) is weighed again after this long.
    std::chrono::milliseconds quiet{kUnfinishedQuiet};
    // How often the files that could not be read are tried again (a chmod makes no event when
    // the file's folder is not watched, and an I/O error none at all).
    std::chrono::milliseconds unreadRetry{60000};
};

// Told of each folder that cannot be watched (once a folder), with why.
using UnwatchedSink = std::function<void(const std::string& folder, const std::string& why)>;

// Told of each file or folder renamed within the paths, before its files are read anew.
using MoveSink = std::function<void(const std::string& from, const std::string& to)>;

// The files of a batch to be looked at again.
struct BatchOutcome {
    std::vector<std::string> held;    // not whole yet and written to lately: again once quiet
    std::vector<std::string> unread;  // could not be read: tried again now and then
};

// Ingests one batch of files; may throw IngestStopped, which ends the loop.
using BatchSink = std::function<BatchOutcome(const std::vector<FoundFile>& files)>;

class LineWatch {
public:
    // `paths` as the command line gives them; `stopFd` becomes readable when the loop must end.
    LineWatch(const std::vector<std::string>& paths, int stopFd, BatchSink ingest,
              LineWatchTimes times = {}, UnwatchedSink unwatched = nullptr,
              MoveSink moved = nullptr);
    // Ingests everything under the paths, then follows them until `stopFd` is readable.
    void Run();

private:
    using Clock = std::chrono::steady_clock;
    struct Root {
        std::string path;  // absolute
        bool present = false;
        bool folder = false;
        unsigned long long device = 0;
        unsigned long long inode = 0;
    };

    bool Stopping() const;
    // Looks at each path again: one that appeared, went or was replaced (a stick mounted over
    // its folder) is watched anew and read whole.
    void CheckRoots(bool all);
    void Place(Root& root, std::vector<FoundFile>& found);
    void Take(const TreeWatch::Events& events);
    void Queue(const std::string& path, Clock::duration wait);
    void QueueUnder(const std::string& folder);
    void RetryUnread();
    const Root* RootOf(const std::string& path) const;
    std::vector<FoundFile> Due();
    int WaitMs() const;
    void Ingest(const std::vector<FoundFile>& files);
    void NoteUnwatched();

    TreeWatch tree_;
    std::vector<Root> roots_;
    int stopFd_;
    BatchSink ingest_;
    LineWatchTimes times_;
    std::map<std::string, Clock::time_point> pending_;
    Clock::time_point nextPoll_;
    UnwatchedSink unwatched_;
    MoveSink moved_;
    std::set<std::string> told_;               // folders the sink heard of
    std::optional<Clock::time_point> rescan_;  // while some folder is not watched
    std::set<std::string> unread_;             // files that could not be read
    Clock::time_point nextRetry_;              // of the unread files
};

}  // namespace yield
