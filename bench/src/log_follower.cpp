#include "log_follower.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bench {

LogFollower::~LogFollower() {
    if (m_fd >= 0) close(m_fd);
}

std::vector<std::string> LogFollower::Poll() {
    std::vector<std::string> lines;
    if (m_fd < 0) {
        m_fd = open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (m_fd < 0 || fstat(m_fd, &info) != 0) return lines;
        m_inode = info.st_ino;
    }
    ReadNew(lines);
    if (!PathStillOurs()) {
        ReadNew(lines);  // the rest of the old generation
        close(m_fd);
        m_fd = -1;
    }
    return lines;
}

void LogFollower::ReadNew(std::vector<std::string>& lines) {
    char buffer[8192];
    ssize_t n;
    while ((n = read(m_fd, buffer, sizeof buffer)) > 0) {
        m_text.append(buffer, static_cast<size_t>(n));
        m_partial.append(buffer, static_cast<size_t>(n));
    }
    size_t end;
    while ((end = m_partial.find('\n')) != std::string::npos) {
        lines.push_back(m_partial.substr(0, end));
        m_partial.erase(0, end + 1);
    }
}

bool LogFollower::PathStillOurs() const {
    struct stat info {};
    return stat(m_path.c_str(), &info) == 0 && info.st_ino == m_inode;
}

}  // namespace bench
