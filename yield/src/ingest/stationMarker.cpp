#include "ingest/stationMarker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace fs = std::filesystem;

namespace yield {
namespace {

constexpr char kBlanks[] = " \t\r\n";
constexpr char kEmpty[] = "station name is empty";
constexpr char kTooLong[] = "station name is longer than 64 bytes";
constexpr char kLines[] = "station name holds more than one line";
constexpr char kNotPrintable[] = "station name holds a byte that is not printable ASCII";
constexpr char kUnreadable[] = "station marker cannot be read";
constexpr char kNotRegular[] = "station marker is not a regular file";
// Read no more of a marker than this: a longer one is refused anyway.
constexpr size_t kMarkerReadBytes = 1024;

std::string_view Trim(std::string_view s) {
    size_t from = s.find_first_not_of(kBlanks);
    if (from == std::string_view::npos) return {};
    return s.substr(from, s.find_last_not_of(kBlanks) - from + 1);
}

// The marker's first kMarkerReadBytes; false with the reason when it cannot be read. Opened
// without blocking and looked at before it is read, so that a FIFO or a device named as a marker
// cannot hang the walk or feed it for ever.
bool ReadMarker(const fs::path& path, std::string& text, std::string& why) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        why = kUnreadable;
        return false;
    }
    struct stat st {};
    bool looked = fstat(fd, &st) == 0;
    if (!looked || !S_ISREG(st.st_mode)) {
        why = looked ? kNotRegular : kUnreadable;
        close(fd);
        return false;
    }
    text.resize(kMarkerReadBytes);
    size_t got = 0;
    ssize_t n = 0;
    while (got < text.size()) {
        n = read(fd, &text[got], text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    close(fd);
    text.resize(got);
    if (n < 0) why = kUnreadable;
    return n >= 0;
}

// True when `folder` is `top` or lies under it, by their names alone.
bool Within(const fs::path& folder, const fs::path& top) {
    auto f = folder.begin();
    for (auto t = top.begin(); t != top.end(); ++t, ++f) {
        if (f == folder.end() || *f != *t) return false;
    }
    return true;
}

}  // namespace

bool ParseStation(std::string_view text, std::string& station, std::string& why) {
    std::string_view name = Trim(text);
    why.clear();
    if (name.empty()) {
        why = kEmpty;
    } else if (name.find('\n') != std::string_view::npos) {
        why = kLines;
    } else if (name.size() > kMaxStationBytes) {
        why = kTooLong;
    } else {
        for (char c : name) {
            if (c < 0x20 || c > 0x7E) why = kNotPrintable;
        }
    }
    station = why.empty() ? std::string(name) : std::string();
    return why.empty();
}

const StationMarkers::Folder& StationMarkers::Look(const std::string& folder) {
    auto [it, fresh] = folders_.try_emplace(folder);
    if (!fresh) return it->second;
    fs::path marker = fs::path(folder) / kStationMarker;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(marker, ec))) return it->second;
    it->second.marked = true;
    std::string text, why;
    if (ReadMarker(marker, text, why)) ParseStation(text, it->second.station, why);
    if (!why.empty()) problems_.emplace_back(marker.string(), why);
    return it->second;
}

std::string StationMarkers::StationOf(const std::string& root, const std::string& file) {
    fs::path folder = fs::path(file).parent_path();
    fs::path top = file == root ? folder : fs::path(root);
    if (!top.has_filename()) top = top.parent_path();  // "x/" is "x"
    if (!Within(folder, top)) top = folder;
    for (;;) {
        const Folder& f = Look(folder.string());
        if (f.marked) return f.station;
        if (folder == top) return "";
        folder = folder.parent_path();
    }
}

std::vector<std::pair<std::string, std::string>> StationMarkers::TakeProblems() {
    std::vector<std::pair<std::string, std::string>> out;
    out.swap(problems_);
    return out;
}

}  // namespace yield
