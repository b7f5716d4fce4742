#include "report/outputFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace yield {
namespace {

constexpr char kTempSuffix[] = ".tmp-XXXXXX";
constexpr size_t kBufferBytes = 1 << 20;

// Permissions an ordinary new file gets under the process's umask.
mode_t NewFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

// Where the text goes: through a link to the file it names, so the link stays a link.
std::string Target(const std::string& path) {
    std::error_code ec;
    std::filesystem::path real = std::filesystem::canonical(path, ec);
    return ec ? path : real.string();
}

// A device or a pipe (/dev/stdout, a FIFO) is written in place: it cannot be replaced.
bool IsStream(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

}  // namespace

OutputFile::OutputFile(const std::string& path) : path_(Target(path)) {
    if (IsStream(path_)) {
        out_.open(path_, std::ios::binary);
        return;
    }
    std::filesystem::path p(path_);
    std::string temp = (p.parent_path() / ("." + p.filename().string() + kTempSuffix)).string();
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        out_.setstate(std::ios::failbit);
        return;
    }
    temp_ = name.data();
    bool modeSet = fchmod(fd, NewFileMode()) == 0;
    close(fd);
    buffer_.resize(kBufferBytes);
    out_.rdbuf()->pubsetbuf(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    if (modeSet) out_.open(temp_, std::ios::binary | std::ios::trunc);
    if (!modeSet) out_.setstate(std::ios::failbit);
}

OutputFile::~OutputFile() {
    if (!done_ && !temp_.empty()) std::remove(temp_.c_str());
}

bool OutputFile::Commit() {
    if (temp_.empty()) {
        out_.close();
        return static_cast<bool>(out_);
    }
    out_.close();
    bool written = static_cast<bool>(out_) && std::rename(temp_.c_str(), path_.c_str()) == 0;
    if (!written) std::remove(temp_.c_str());
    done_ = true;
    return written;
}

}  // namespace yield
