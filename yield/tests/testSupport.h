// Helpers shared by the yield tool's tests: temporary folders and golden logs.
#pragma once

#include <sys/wait.h>

#include <cstdio>
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

struct Result {
    int status = -1;
    std::string out;
};

// Runs a shell command line, standard error to standard output.
inline Result Shell(const std::string& line) {
    std::string cmd = line + " 2>&1 </dev/null";
    Result r;
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

// Runs the tool with `args` (already quoted for the shell), after the shell commands `before`.
inline Result Tool(const std::string& args, const std::string& before = "") {
    return Shell(before + "'" + YIELD_TOOL + "' " + args);
}

inline std::string Q(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

}  // namespace yieldtest
