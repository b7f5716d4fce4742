#include "ingest/folderList.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace yield {

bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
    entries.clear();
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return false;
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code typeEc;
        bool real = it->symlink_status(typeEc).type() == fs::file_type::directory;
        entries.push_back(FolderEntry{it->path().string(), real});
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.path < b.path; });
    return true;
}

}  // namespace yield
