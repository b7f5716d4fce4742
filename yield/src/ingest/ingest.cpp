#include "ingest/ingest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <thread>

#include "ingest/fileDigest.h"
#include "ingest/folderList.h"
#include "ingest/runBounds.h"
#include "ingest/stationMarker.h"
#include "parse/logParser.h"
#include "parse/runClock.h"
#include "store/dbFiles.h"

namespace fs = std::filesystem;

namespace yield {
namespace {

std::string Absolute(const fs::path& p) {
    std::error_code ec;
    fs::path abs = fs::absolute(p, ec);
    return (ec ? p : abs).lexically_normal().string();
}

// Calls `take` with each file under `dir`, any depth, each folder's entries in name order, by
// the walker's rule (folderList.h). Only one folder's names are held at a time, so memory does not
// grow with the files.
void Walk(const fs::path& dir, const std::function<void(const std::string&)>& take) {
    std::vector<FolderEntry> entries;
    if (!ListFolder(dir.string(), entries)) {
        take(Absolute(dir));  // a folder that cannot be listed is listed as a problem
        return;
    }
    for (const FolderEntry& e : entries) {
        if (e.folder)
            Walk(e.path, take);
        else
            take(Absolute(e.path));
    }
}

using FileSink = std::function<void(const std::string& root, const std::string& path, bool exists)>;

// Each regular file of `paths` (files, and folders at any depth) with the path it was found
// under (made absolute), then each path that does not exist, through `take` (with `exists`
// false). Station markers are not logs: they are left out.
void ForEachFile(const std::vector<std::string>& paths, const FileSink& take) {
    std::vector<std::string> missing;
    for (const std::string& p : paths) {
        std::error_code ec;
        fs::file_status st = fs::status(p, ec);
        std::string root = Absolute(p);
        if (fs::is_directory(st)) {
            Walk(p, [&](const std::string& f) {
                if (fs::path(f).filename() != kStationMarker) take(root, f, true);
            });
        } else if (fs::exists(st)) {
            take(root, root, true);
        } else {
            missing.push_back(p);
        }
    }
    for (const std::string& m : missing) take(m, m, false);
}

constexpr char kNotRegular[] = "not a regular file";
constexpr char kLinkToFolder[] = "link to a folder, not followed";
constexpr char kTooLarge[] = "too large for a trace log";

// Why a file was not read: `unread` when the failure says nothing lasting about the file (a
// permission or an I/O error), so that it is tried again at the next ingest.
struct ReadFailure {
    std::string why;
    bool unread = false;
};

ReadFailure CannotRead() {
    return ReadFailure{std::string("cannot read: ") + strerror(errno), true};
}

// Why an open file is not read as a log: not a regular file, or too large.
std::string NotALogFile(const std::string& path, const struct stat& st) {
    if (S_ISREG(st.st_mode)) return kTooLarge;
    struct stat link {};
    bool linked = lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
    return linked && S_ISDIR(st.st_mode) ? kLinkToFolder : kNotRegular;
}

// Reads the whole file; an empty string and the reason when it cannot.
bool ReadFile(const std::string& path, std::string& bytes, SourceFile& file, ReadFailure& why) {
    // Non-blocking, so that a FIFO named on the command line cannot hang the ingest.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        why = CannotRead();
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        why = CannotRead();
        close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode) || st.st_size > kMaxLogBytes) {
        why.why = NotALogFile(path, st);
        close(fd);
        return false;
    }
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = read(fd, &bytes[got], bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = CannotRead();
            close(fd);
            return false;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    close(fd);
    file.size = static_cast<long long>(got);
    return true;
}

SourceFile Describe(const std::string& path) {
    SourceFile f;
    f.path = path;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        f.size = st.st_size;
        f.mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    }
    return f;
}

// Counted and listed for the summary.
void List(IngestStats& stats, const std::string& path, const std::string& why) {
    ++stats.problems;
    stats.problemList.emplace_back(path, why);
}

std::string Join(const std::vector<std::string>& reasons) {
    std::string out;
    for (const std::string& r : reasons) out += (out.empty() ? "" : "; ") + r;
    return out;
}

// Also recorded in the store.
void Problem(IngestStore& store, IngestStats& stats, const SourceFile& f, const std::string& why,
             bool unread = false) {
    store.PutProblem(f, why, unread);
    List(stats, f.path, why);
}

// A pause before a batch is tried again, longer each time and apart between ingests.
std::chrono::milliseconds RetryPause(int attempt) {
    static std::minstd_rand random(static_cast<unsigned>(getpid()));
    return std::chrono::milliseconds(20 * attempt + static_cast<int>(random() % 100));
}

// True when the file changed within `hold` of now (either side, so that a clock set apart cannot
// hold a file for ever).
bool ChangedLately(const SourceFile& f, std::chrono::seconds hold) {
    if (hold.count() <= 0) return false;
    auto now = std::chrono::system_clock::now().time_since_epoch();
    long long nowNs = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    long long span = std::chrono::duration_cast<std::chrono::nanoseconds>(hold).count();
    return f.mtime > nowNs - span && f.mtime < nowNs + span;
}

// A log that a copy may still be writing: what a copy in progress looks like, written lately.
bool Unfinished(const ParseResult& r, const SourceFile& f, std::chrono::seconds hold) {
    bool partial = r.kind == ParseResult::Kind::Empty ||
                   (r.kind == ParseResult::Kind::Run && !r.run.Complete());
    return partial && ChangedLately(f, hold);
}

void Count(PutOutcome outcome, IngestStats& stats) {
    switch (outcome) {
        case PutOutcome::New:
            ++stats.runsNew;
            break;
        case PutOutcome::Replaced:
        case PutOutcome::Moved:
            ++stats.replaced;
            break;
        case PutOutcome::Copy:
            ++stats.copies;
            break;
        case PutOutcome::Same:
            ++stats.unchanged;
            break;
    }
}

void IngestFile(IngestStore& store, const std::string& path, const std::string& station,
                std::chrono::seconds hold, IngestStats& stats) {
    SourceFile f = Describe(path);
    f.station = station;
    if (store.KnownUnchanged(f)) {
        ++stats.unchanged;
        return;
    }
    std::string bytes;
    ReadFailure failure;
    if (!ReadFile(path, bytes, f, failure)) {
        Problem(store, stats, f, failure.why, failure.unread);
        if (failure.unread) stats.unread.push_back(path);
        return;
    }
    ParseResult r = ParseLog(bytes, fs::path(path).filename().string());
    if (Unfinished(r, f, hold)) {
        stats.held.push_back(path);
        return;
    }
    f.sha256 = Sha256Hex(bytes);
    if (r.kind != ParseResult::Kind::Run) {
        Problem(store, stats, f, r.reason);
        return;
    }
    r.run.station = station;
    MarkUnsetClock(r.run, f.mtime, std::time(nullptr));
    if (r.run.clockUnset) ++stats.clockUnset;
    std::vector<std::string> cuts = BoundRun(r.run);
    Count(store.PutRun(r.run, f), stats);
    if (!cuts.empty()) List(stats, path, kStoredCut + Join(cuts));
}

// Whether a recorded path still names a file: only a path that is certainly gone is not (a
// folder on the way that cannot be searched says nothing).
bool StillThere(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

// Restores the figures of a batch that is tried again; the problems found meanwhile are dropped.
class StatsMark {
public:
    explicit StatsMark(IngestStats& stats) : stats_(stats), problems_(stats.problemList.size()) {
        auto list = std::move(stats.problemList);
        saved_ = stats;
        stats.problemList = std::move(list);
    }
    void Restore() {
        auto list = std::move(stats_.problemList);
        list.resize(problems_);
        stats_ = saved_;
        stats_.problemList = std::move(list);
    }

private:
    IngestStats& stats_;
    size_t problems_;
    IngestStats saved_;
};

// Files in batches of kIngestBatch, each stored whole or not at all. A batch the database gave
// up is tried again; a file whose contents the database refuses is listed and the batch redone
// without it.
class BatchIngest {
public:
    BatchIngest(IngestStore& store, const IngestOptions& options)
        : store_(store),
          progress_(options.progress),
          stop_(options.stop),
          hold_(options.holdUnfinished) {
        store_.SetPathCheck(StillThere);
    }

    void Add(const std::string& path, bool exists, const std::string& station) {
        batch_.push_back(Entry{path, station, exists});
        if (static_cast<long long>(batch_.size()) == kIngestBatch) Flush();
    }

    void Flush() {
        if (batch_.empty()) {
            Clock();
            return;
        }
        if (stop_ && stop_()) throw IngestStopped();
        StatsMark mark(stats_);
        const IngestStats before = WrittenFigures(stats_);
        for (int attempt = 1;;) {
            try {
                store_.Begin();
                for (const Entry& e : batch_) One(e);
                Announce(before);
                store_.Commit();
                break;
            } catch (const StoreRefused& e) {
                store_.Rollback();
                if (!Refuse(e.what())) throw StoreError(e.what());
            } catch (const StoreRetry&) {
                store_.Rollback();
                if (attempt++ == kIngestAttempts) throw;
                std::this_thread::sleep_for(RetryPause(attempt));
            } catch (...) {
                store_.Rollback();
                throw;
            }
            mark.Restore();
        }
        batch_.clear();
        refused_.clear();
        Clock();
    }

    IngestStats& stats() { return stats_; }

private:
    struct Entry {
        std::string path;
        std::string station;
        bool exists = false;
    };

    // The figures that tell whether a batch wrote (its problem list aside).
    static IngestStats WrittenFigures(const IngestStats& s) {
        IngestStats figures;
        figures.runsNew = s.runsNew;
        figures.replaced = s.replaced;
        figures.copies = s.copies;
        figures.problems = s.problems;
        figures.missing = s.missing;
        return figures;
    }

    // A batch that found only unchanged files wrote nothing, so readers need not look again;
    // a missing path is only listed.
    void Announce(const IngestStats& before) {
        long long runs = stats_.runsNew + stats_.replaced - before.runsNew - before.replaced;
        long long others = stats_.copies + stats_.problems - stats_.missing -
                           (before.copies + before.problems - before.missing);
        if (runs + others > 0) store_.AnnounceChange(runs);
    }

    void One(const Entry& e) {
        const std::string& path = e.path;
        current_ = path;
        auto refused = refused_.find(path);
        if (refused != refused_.end()) {
            // Recorded as a problem; a path the database cannot even hold is only listed.
            if (refused->second.twice)
                List(stats_, path, refused->second.why);
            else
                Problem(store_, stats_, Describe(path), refused->second.why);
        } else if (e.exists) {
            IngestFile(store_, path, e.station, hold_, stats_);
        } else {
            List(stats_, path, kNoSuchPath);
            ++stats_.missing;
        }
        ++stats_.read;
        Clock();
        if (progress_) progress_(stats_);
    }

    void Clock() {
        stats_.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

    // False when the file was refused even as a problem without its path stored: the fault is
    // not in the file (rows sent in bulk for the whole batch are refused at its end).
    bool Refuse(std::string why) {
        constexpr std::string_view kPrefix = "database: ";
        if (why.rfind(kPrefix, 0) == 0) why.erase(0, kPrefix.size());
        auto [it, first] =
            refused_.try_emplace(current_, Refusal{"refused by the database: " + why});
        if (first) return true;
        if (it->second.twice) return false;
        it->second.twice = true;
        return true;
    }

    struct Refusal {
        std::string why;
        bool twice = false;
    };

    IngestStore& store_;
    const std::function<void(const IngestStats&)>& progress_;
    const std::function<bool()>& stop_;
    std::chrono::seconds hold_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    IngestStats stats_;
    std::vector<Entry> batch_;
    std::map<std::string, Refusal> refused_;
    std::string current_;
};

// Files to pass over, compared by name first so that the walk looks closer only at a namesake.
// A journal the database makes while the ingest runs is still recognised.
class LeftOut {
public:
    explicit LeftOut(const std::vector<std::string>& files) {
        for (const std::string& f : files) byName_.emplace(fs::path(f).filename().string(), f);
    }
    bool Has(const std::string& path) const {
        auto [from, to] = byName_.equal_range(fs::path(path).filename().string());
        for (auto it = from; it != to; ++it) {
            if (SameFile(it->second, path)) return true;
        }
        return false;
    }

private:
    std::multimap<std::string, std::string> byName_;
};

}  // namespace

IngestStats Ingest(IngestStore& store, const std::vector<std::string>& paths,
                   const std::function<void(const IngestStats&)>& progress,
                   const std::vector<std::string>& leaveOut, const std::string& station) {
    return Ingest(store, paths, IngestOptions{progress, leaveOut, station, nullptr});
}

IngestStats Ingest(IngestStore& store, const std::vector<std::string>& paths,
                   const IngestOptions& options) {
    const std::string& station = options.station;
    BatchIngest ingest(store, options);
    LeftOut own(options.leaveOut);
    StationMarkers markers;
    // A first walk counts the files for the progress line; the second reads them.
    ForEachFile(paths, [&](const std::string&, const std::string& path, bool) {
        if (!own.Has(path)) ++ingest.stats().total;
    });
    ForEachFile(paths, [&](const std::string& root, const std::string& path, bool exists) {
        if (own.Has(path)) return;
        bool marked = station.empty() && exists;
        ingest.Add(path, exists, marked ? markers.StationOf(root, path) : station);
    });
    ingest.Flush();
    for (const auto& [marker, why] : markers.TakeProblems()) List(ingest.stats(), marker, why);
    return ingest.stats();
}

void IngestMoved(IngestStore& store, const std::string& from, const std::string& to) {
    for (int attempt = 1;; ++attempt) {
        try {
            store.Begin();
            store.MovePaths(from, to);
            store.Commit();
            return;
        } catch (const StoreRefused&) {
            store.Rollback();
            return;  // the files are read under their new names
        } catch (const StoreRetry&) {
            store.Rollback();
            if (attempt == kIngestAttempts) throw;
            std::this_thread::sleep_for(RetryPause(attempt));
        } catch (...) {
            store.Rollback();
            throw;
        }
    }
}

IngestStats IngestFound(IngestStore& store, const std::vector<FoundFile>& files,
                        const IngestOptions& options) {
    BatchIngest ingest(store, options);
    LeftOut own(options.leaveOut);
    StationMarkers markers;
    std::vector<const FoundFile*> present;
    for (const FoundFile& f : files) {
        std::error_code ec;  // a broken link is there, to be listed as Ingest lists it
        if (fs::exists(fs::symlink_status(f.path, ec)) && !own.Has(f.path) &&
            fs::path(f.path).filename() != kStationMarker)
            present.push_back(&f);
    }
    ingest.stats().total = static_cast<long long>(present.size());
    for (const FoundFile* f : present) {
        bool marked = options.station.empty();
        ingest.Add(f->path, true, marked ? markers.StationOf(f->root, f->path) : options.station);
    }
    ingest.Flush();
    for (const auto& [marker, why] : markers.TakeProblems()) List(ingest.stats(), marker, why);
    return ingest.stats();
}

}  // namespace yield
