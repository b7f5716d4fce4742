#include "watch/lineWatch.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "ingest/folderList.h"
#include "ingest/stationMarker.h"

namespace fs = std::filesystem;

namespace yield {
namespace {

std::string Absolute(const std::string& p) {
    std::error_code ec;
    fs::path abs = fs::absolute(p, ec);
    return (ec ? fs::path(p) : abs).lexically_normal().string();
}

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) > 0;
}

// Opened as the ingest opens a log: never blocking on a FIFO.
bool OpensNow(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd >= 0) close(fd);
    return fd >= 0;
}

bool Within(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

}  // namespace

LineWatch::LineWatch(const std::vector<std::string>& paths, int stopFd, BatchSink ingest,
                     LineWatchTimes times, UnwatchedSink unwatched, MoveSink moved)
    : tree_(times.mostFolders),
      stopFd_(stopFd),
      ingest_(std::move(ingest)),
      times_(times),
      unwatched_(std::move(unwatched)),
      moved_(std::move(moved)) {
    for (const std::string& p : paths) {
        Root r;
        r.path = Absolute(p);
        if (r.path.size() > 1 && r.path.back() == '/') r.path.pop_back();
        roots_.push_back(r);
    }
}

bool LineWatch::Stopping() const { return Readable(stopFd_); }

void LineWatch::Run() {
    try {
        CheckRoots(true);
        while (!Stopping()) {
            pollfd fds[2] = {{tree_.fd(), POLLIN, 0}, {stopFd_, POLLIN, 0}};
            if (poll(fds, 2, WaitMs()) < 0 && errno != EINTR) return;
            if ((fds[1].revents & POLLIN) != 0) return;
            if ((fds[0].revents & POLLIN) != 0) Take(tree_.Read());
            if (rescan_ && Clock::now() >= *rescan_) {
                rescan_.reset();
                CheckRoots(true);
            } else if (Clock::now() >= nextPoll_) {
                CheckRoots(false);
            }
            if (!unread_.empty() && Clock::now() >= nextRetry_) RetryUnread();
            std::vector<FoundFile> due = Due();
            if (!due.empty()) Ingest(due);
        }
    } catch (const IngestStopped&) {
    }
}

void LineWatch::Ingest(const std::vector<FoundFile>& files) {
    if (Stopping()) throw IngestStopped();
    BatchOutcome outcome = ingest_(files);
    for (const std::string& f : outcome.held) Queue(f, times_.quiet);
    for (const std::string& f : outcome.unread) {
        if (RootOf(f) == nullptr) continue;
        if (unread_.empty()) nextRetry_ = Clock::now() + times_.unreadRetry;
        unread_.insert(f);
    }
}

// The unread files that can be opened now are read again (a folder that can be listed now is
// watched and read); those gone are forgotten.
void LineWatch::RetryUnread() {
    nextRetry_ = Clock::now() + times_.unreadRetry;
    for (auto it = unread_.begin(); it != unread_.end();) {
        struct stat st {};
        bool there = lstat(it->c_str(), &st) == 0;
        if (there && !OpensNow(*it)) {
            ++it;
            continue;
        }
        if (there && S_ISDIR(st.st_mode))
            tree_.AddTree(*it, [this](const std::string& f) { Queue(f, times_.gather); });
        else if (there)
            Queue(*it, times_.gather);
        it = unread_.erase(it);
    }
    NoteUnwatched();
}

void LineWatch::CheckRoots(bool all) {
    nextPoll_ = Clock::now() + times_.poll;
    std::vector<FoundFile> found;
    for (Root& r : roots_) {
        struct stat st {};
        bool present = stat(r.path.c_str(), &st) == 0;
        bool folder = present && S_ISDIR(st.st_mode);
        bool same = present == r.present && folder == r.folder &&
                    (!present || (st.st_dev == r.device && st.st_ino == r.inode));
        if (same && !all) continue;
        if (r.present && r.folder) tree_.Forget(r.path);
        r.present = present;
        r.folder = folder;
        r.device = present ? st.st_dev : 0;
        r.inode = present ? st.st_ino : 0;
        if (present) Place(r, found);
    }
    NoteUnwatched();
    if (!found.empty()) Ingest(found);
}

void LineWatch::NoteUnwatched() {
    std::vector<std::pair<std::string, std::string>> missed = tree_.TakeUnwatched();
    if (missed.empty()) return;
    for (const auto& [folder, why] : missed) {
        if (told_.insert(folder).second && unwatched_) unwatched_(folder, why);
    }
    if (!rescan_) rescan_ = Clock::now() + times_.rescan;
}

// Watches the root and gives all it holds now.
void LineWatch::Place(Root& root, std::vector<FoundFile>& found) {
    if (!root.folder) {
        tree_.AddFolder(fs::path(root.path).parent_path().string());
        found.push_back(FoundFile{root.path, root.path});
        return;
    }
    tree_.AddTree(root.path, [&](const std::string& f) {
        found.push_back(FoundFile{root.path, f});
        pending_.erase(f);
    });
}

void LineWatch::Take(const TreeWatch::Events& events) {
    if (events.overflow) {
        pending_.clear();
        CheckRoots(true);
        return;
    }
    NoteUnwatched();
    for (const std::string& f : events.written) {
        Queue(f, times_.gather);
        if (fs::path(f).filename() == kStationMarker)
            QueueUnder(fs::path(f).parent_path().string());
    }
    for (const std::string& f : events.growing) Queue(f, times_.settle);
    for (const auto& [from, to] : events.moved) {
        if (moved_ && RootOf(from) != nullptr && RootOf(to) != nullptr) moved_(from, to);
    }
    for (const std::string& f : events.gone) {
        pending_.erase(f);
        unread_.erase(f);
    }
    for (const std::string& lost : events.lost) {
        auto isRoot = [&](const Root& r) { return r.present && r.path == lost; };
        if (std::any_of(roots_.begin(), roots_.end(), isRoot)) nextPoll_ = Clock::now();
    }
}

void LineWatch::Queue(const std::string& path, Clock::duration wait) {
    if (RootOf(path) != nullptr) pending_[path] = Clock::now() + wait;
}

// Every file under `folder` again: a marker that came after the logs it names (a copy in no
// particular order) gives them its station.
void LineWatch::QueueUnder(const std::string& folder) {
    std::vector<FolderEntry> entries;
    if (!ListFolder(folder, entries)) return;
    for (const FolderEntry& e : entries) {
        if (e.folder)
            QueueUnder(e.path);
        else if (fs::path(e.path).filename() != kStationMarker)
            Queue(e.path, times_.gather);
    }
}

// The nearest present root that holds `path`.
const LineWatch::Root* LineWatch::RootOf(const std::string& path) const {
    const Root* best = nullptr;
    for (const Root& r : roots_) {
        bool holds = r.present && (r.path == path || (r.folder && Within(path, r.path)));
        if (holds && (best == nullptr || r.path.size() > best->path.size())) best = &r;
    }
    return best;
}

std::vector<FoundFile> LineWatch::Due() {
    std::vector<FoundFile> due;
    auto now = Clock::now();
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->second > now) {
            ++it;
            continue;
        }
        if (const Root* r = RootOf(it->first)) due.push_back(FoundFile{r->path, it->first});
        it = pending_.erase(it);
    }
    return due;
}

int LineWatch::WaitMs() const {
    Clock::time_point next = rescan_ ? std::min(nextPoll_, *rescan_) : nextPoll_;
    if (!unread_.empty()) next = std::min(next, nextRetry_);
    for (const auto& [path, at] : pending_) next = std::min(next, at);
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
    return static_cast<int>(std::max<long long>(0, wait.count()) + 1);
}

}  // namespace yield
