// The folders under the paths `watch` is given, followed through inotify: which files were
// written, which are still growing, which folders appeared or went.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace yield {

// Folders followed at the most: each costs the kernel a watch (fs.inotify.max_user_watches
// bounds them for the whole user) and this process an entry.
constexpr size_t kMostWatchedFolders = 100000;

class TreeWatch {
public:
    // Throws std::system_error when inotify cannot be had.
    explicit TreeWatch(size_t mostFolders = kMostWatchedFolders);
    ~TreeWatch();
    TreeWatch(const TreeWatch&) = delete;
    TreeWatch& operator=(const TreeWatch&) = delete;

    // What poll() waits on.
    int fd() const { return fd_; }

    // Watches `folder` and every folder under it (walked as the ingest walks them: links to
    // folders are not followed), and gives `found` each file already in them: files written
    // before the watch was placed. A folder that cannot be listed is given as a file.
    void AddTree(const std::string& folder, const std::function<void(const std::string&)>& found);
    // Watches `folder` alone (the folder of a file given by name).
    void AddFolder(const std::string& folder);
    // Stops watching `folder` and every folder under it.
    void Forget(const std::string& folder);
    // The folders that could not be watched since the last call (past the bound, or refused by
    // the system), each with why: what is written in them later is seen only by a rescan.
    std::vector<std::pair<std::string, std::string>> TakeUnwatched();

    struct Events {
        // closed after writing, moved in, or their attributes changed: read them soon
        std::vector<std::string> written;
        std::vector<std::string> growing;  // created or written to: read once they stop
        std::vector<std::string> gone;     // files moved away (their new name is `written`)
        std::vector<std::string> lost;     // watched folders that went (removed, unmounted)
        // files and folders renamed within the watched folders: from, to
        std::vector<std::pair<std::string, std::string>> moved;
        bool overflow = false;  // events were dropped: everything must be looked at
    };
    // The events waiting (none when there are none). A folder that appeared is watched at once
    // and its files are among `written`.
    Events Read();

private:
    void Event(unsigned mask, int wd, const std::string& name, Events& out);
    void PairMove(unsigned mask, uint32_t cookie, int wd, const std::string& name,
                  std::map<uint32_t, std::string>& movedFrom, Events& out) const;
    bool Watched(const std::string& folder) const;
    std::map<int, std::string>::iterator Unlist(std::map<int, std::string>::iterator it);

    int fd_ = -1;
    size_t mostFolders_;
    std::map<int, std::string> folders_;  // by watch descriptor
    std::map<std::string, int> byPath_;   // the same, by folder
    std::vector<std::pair<std::string, std::string>> unwatched_;
};

}  // namespace yield
