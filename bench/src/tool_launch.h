// How the tool is started inside the fake root. BuildToolLaunch is the one place where the
// command line and environment are shaped, so running the tool under an emulator changes
// only this spot: `<emulator> -L /sysroot -E LD_PRELOAD=... ./devuzeV7 args`.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "scenario.h"

namespace bench {

struct LaunchSettings {
    std::string rootDir;  // host path of the fake root
    std::string workdir;  // inside the fake root
    std::vector<std::string> toolArgs;
    Userland userland = Userland::kHost;
    std::string emulator;  // empty: run the tool directly
    bool withSysroot = false;
    bool coverage = false;      // a measured tool writes its counts to kCoverageDir
    std::string coverageStrip;  // GCOV_PREFIX_STRIP for it, when not empty
};

struct ToolLaunch {
    std::string rootDir;
    std::string workdir;
    std::string executable;  // path inside the fake root, relative to workdir when it starts "./"
    std::vector<std::string> argv;
    std::vector<std::string> env;
};

ToolLaunch BuildToolLaunch(const LaunchSettings& settings);

// Forks the tool: chroot into the fake root, chdir to the working directory, stdout and
// stderr to the given descriptors, exec. Returns the pid, or -1 with `error`.
pid_t StartTool(const ToolLaunch& launch, int stdoutFd, int stderrFd, std::string& error);

}  // namespace bench
