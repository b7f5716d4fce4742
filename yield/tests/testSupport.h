// Helpers shared by the yield tool's tests: temporary folders and golden logs.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace yieldtest {

inline std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteAll(const std::filesystem::path& p, const std::string& text) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

// A fresh folder removed at the end of the test.
class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/yield-test-XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The flash copy of a golden scenario's log.
inline std::filesystem::path GoldenFlashLog(const std::string& scenario) {
    for (const auto& f : std::filesystem::directory_iterator(
             std::filesystem::path(YIELD_GOLDEN_DIR) / scenario / "NandFlash/test")) {
        return f.path();
    }
    return {};
}

}  // namespace yieldtest
