// A private folder under $TMPDIR (or /tmp), removed with everything in it at destruction.
#pragma once

#include <string>

namespace devbench {

class TempDir {
public:
    explicit TempDir(const std::string& prefix);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }  // empty when it could not be made
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

bool WriteWholeFile(const std::string& path, const std::string& text);
std::string ReadWholeFile(const std::string& path);

}  // namespace devbench
