#include "watch/treeWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "ingest/folderList.h"

namespace yield {
namespace {

// IN_ATTRIB: a file or folder made readable (chmod) makes no other event.
constexpr uint32_t kFolderEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                   IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF |
                                   IN_ONLYDIR;
constexpr size_t kReadBytes = size_t{64} * 1024;
constexpr char kNoInotify[] = "cannot watch folders";
constexpr char kTooManyFolders[] = "more folders than a watch follows";

bool Under(const std::string& path, const std::string& folder) {
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

}  // namespace

TreeWatch::TreeWatch(size_t mostFolders)
    : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), mostFolders_(mostFolders) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), kNoInotify);
}

TreeWatch::~TreeWatch() { close(fd_); }

void TreeWatch::AddFolder(const std::string& folder) {
    if (folders_.size() >= mostFolders_) {
        unwatched_.emplace_back(folder, kTooManyFolders);
        return;
    }
    int wd = inotify_add_watch(fd_, folder.c_str(), kFolderEvents);
    if (wd < 0) {
        unwatched_.emplace_back(folder, std::strerror(errno));
        return;
    }
    auto [it, fresh] = folders_.try_emplace(wd, folder);
    if (!fresh) Unlist(it);  // the same folder, reached under another name
    folders_[wd] = folder;
    byPath_[folder] = wd;
}

std::vector<std::pair<std::string, std::string>> TreeWatch::TakeUnwatched() {
    std::vector<std::pair<std::string, std::string>> out;
    out.swap(unwatched_);
    return out;
}

// The watch is placed before the folder is listed, so that a file written meanwhile is either
// listed or seen as an event (perhaps both: reading it twice changes nothing). The folders are
// walked by the ingest's rule (folderList.h); one that cannot be listed is given as a file.
void TreeWatch::AddTree(const std::string& folder,
                        const std::function<void(const std::string&)>& found) {
    AddFolder(folder);
    std::vector<FolderEntry> entries;
    if (!ListFolder(folder, entries)) {
        found(folder);
        return;
    }
    for (const FolderEntry& e : entries) {
        if (e.folder)
            AddTree(e.path, found);
        else
            found(e.path);
    }
}

// Drops a watch from both maps; a newer watch of the same path stays.
std::map<int, std::string>::iterator TreeWatch::Unlist(std::map<int, std::string>::iterator it) {
    auto path = byPath_.find(it->second);
    if (path != byPath_.end() && path->second == it->first) byPath_.erase(path);
    return folders_.erase(it);
}

bool TreeWatch::Watched(const std::string& folder) const { return byPath_.count(folder) > 0; }

void TreeWatch::Forget(const std::string& folder) {
    for (auto it = folders_.begin(); it != folders_.end();) {
        if (Under(it->second, folder)) {
            inotify_rm_watch(fd_, it->first);
            it = Unlist(it);
        } else {
            ++it;
        }
    }
}

TreeWatch::Events TreeWatch::Read() {
    Events out;
    std::map<uint32_t, std::string> movedFrom;  // by the cookie that pairs the two halves
    alignas(inotify_event) char buf[kReadBytes];
    for (;;) {
        ssize_t n = read(fd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (char* p = buf; p < buf + n;) {
            auto* e = reinterpret_cast<inotify_event*>(p);
            std::string name = e->len > 0 ? std::string(e->name) : std::string();
            Event(e->mask, e->wd, name, out);
            PairMove(e->mask, e->cookie, e->wd, name, movedFrom, out);
            p += sizeof(inotify_event) + e->len;
        }
    }
    return out;
}

// A rename within the watched folders comes as two events with one cookie, the first half
// before the second.
void TreeWatch::PairMove(unsigned mask, uint32_t cookie, int wd, const std::string& name,
                         std::map<uint32_t, std::string>& movedFrom, Events& out) const {
    auto folder = folders_.find(wd);
    if (name.empty() || folder == folders_.end()) return;
    std::string path = folder->second + "/" + name;
    if ((mask & IN_MOVED_FROM) != 0) movedFrom[cookie] = path;
    auto from = movedFrom.find(cookie);
    if ((mask & IN_MOVED_TO) == 0 || from == movedFrom.end()) return;
    out.moved.emplace_back(from->second, path);
    movedFrom.erase(from);
}

void TreeWatch::Event(unsigned mask, int wd, const std::string& name, Events& out) {
    if ((mask & IN_Q_OVERFLOW) != 0) {
        out.overflow = true;
        return;
    }
    auto folder = folders_.find(wd);
    if (folder == folders_.end()) return;
    if ((mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) != 0) {
        out.lost.push_back(folder->second);
        if ((mask & IN_IGNORED) != 0) Unlist(folder);
        return;
    }
    if (name.empty()) return;  // the folder's own attributes
    std::string path = folder->second + "/" + name;
    auto written = [&out](const std::string& f) { out.written.push_back(f); };
    if ((mask & IN_ISDIR) != 0) {
        // A folder made readable is watched and read now; one moved away is forgotten, and
        // the files moved with it are found again where they arrive.
        bool attrib = (mask & IN_ATTRIB) != 0 && !Watched(path);
        if ((mask & (IN_CREATE | IN_MOVED_TO)) != 0 || attrib)
            AddTree(path, written);
        else if ((mask & IN_MOVED_FROM) != 0)
            Forget(path);
        return;
    }
    if ((mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_ATTRIB)) != 0)
        out.written.push_back(path);
    else if ((mask & (IN_CREATE | IN_MODIFY)) != 0)
        out.growing.push_back(path);
    else if ((mask & IN_MOVED_FROM) != 0)
        out.gone.push_back(path);
}

}  // namespace yield
