#include "TestLogPath.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>

#include "hwPaths.h"
#include "vxLog.h"

const char* filename = hw::kLogFile;

namespace testlog {

namespace {
struct PrivateLog {
    std::string dir;
    std::string path;
};

// Made on first use, so a static initializer of another file may call UsePrivateLog.
PrivateLog& State() {
    static PrivateLog state;
    return state;
}

void RemoveDir() {
    std::error_code ec;
    std::filesystem::remove_all(State().dir, ec);
}
}  // namespace

const std::string& UsePrivateLog(const std::string& tag) {
    PrivateLog& state = State();
    if (!state.path.empty()) return state.path;
    const char* tmp = getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/devuze-" + tag + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        perror("testlog: mkdtemp");
        abort();
    }
    state.dir = pattern;
    state.path = state.dir + "/deVuzeV7.log";
    filename = state.path.c_str();
    atexit(RemoveDir);
    return state.path;
}

}  // namespace testlog
