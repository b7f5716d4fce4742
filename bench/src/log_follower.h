// Follows the tool's trace log while the run goes: reads each generation of the file to its
// end even after the tool renames it (rotation, archiving) and starts on the new file.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace bench {

class LogFollower {
public:
    explicit LogFollower(std::string path) : m_path(std::move(path)) {}
    ~LogFollower();

    // New complete text lines (without their line feed) since the last call.
    std::vector<std::string> Poll();
    // Everything read so far, every generation in order.
    const std::string& Text() const { return m_text; }

private:
    void ReadNew(std::vector<std::string>& lines);
    bool PathStillOurs() const;

    std::string m_path;
    int m_fd = -1;
    ino_t m_inode = 0;
    std::string m_text;
    std::string m_partial;
};

}  // namespace bench
