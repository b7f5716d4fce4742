#include "tool_launch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "fakeroot.h"
#include "vxdio_wire.h"

namespace bench {

namespace {
constexpr char kHostPath[] = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
constexpr char kBusyboxPath[] = "/bin";

std::vector<std::string> BaseEnvironment(const LaunchSettings& settings) {
    std::vector<std::string> env = {
        std::string("PATH=") + (settings.userland == Userland::kBusybox ? kBusyboxPath : kHostPath),
        "HOME=/home/root",
        "LANG=C",
        "SHELL=/bin/sh",
        "USER=root",
        std::string(VXDIO_BENCH_SOCKET_ENV) + "=" + kDioSocket,
        std::string(VXDIO_BENCH_NODE_ENV) + "=" + kDioNode};
    const char* tz = getenv("TZ");
    if (tz != nullptr) env.push_back(std::string("TZ=") + tz);
    if (settings.coverage) env.push_back(std::string("GCOV_PREFIX=") + kCoverageDir);
    if (settings.coverage && !settings.coverageStrip.empty())
        env.push_back("GCOV_PREFIX_STRIP=" + settings.coverageStrip);
    return env;
}

std::vector<char*> CStrings(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

void WriteText(int fd, const char* text) {
    ssize_t written = write(fd, text, strlen(text));
    (void)written;
}

[[noreturn]] void ExecInRoot(const ToolLaunch& launch, char* const* argv, char* const* envp,
                             int stdoutFd, int stderrFd) {
    dup2(stdoutFd, STDOUT_FILENO);
    dup2(stderrFd, STDERR_FILENO);
    int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (devNull >= 0) dup2(devNull, STDIN_FILENO);
    syscall(SYS_close_range, 3U, ~0U, 0U);
    for (int sig : {SIGINT, SIGTERM, SIGPIPE, SIGHUP, SIGQUIT, SIGCHLD}) signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (chroot(launch.rootDir.c_str()) != 0 || chdir(launch.workdir.c_str()) != 0) {
        WriteText(STDERR_FILENO, "devuzeV7-bench: cannot enter the fake root\n");
        _exit(127);
    }
    execve(launch.executable.c_str(), argv, envp);
    WriteText(STDERR_FILENO, "devuzeV7-bench: cannot start the tool: ");
    WriteText(STDERR_FILENO, strerror(errno));
    WriteText(STDERR_FILENO, "\n");
    _exit(127);
}
}  // namespace

ToolLaunch BuildToolLaunch(const LaunchSettings& settings) {
    ToolLaunch launch;
    launch.rootDir = settings.rootDir;
    launch.workdir = settings.workdir;
    launch.env = BaseEnvironment(settings);
    std::string tool = std::string("./") + kToolName;
    std::string preload = std::string("LD_PRELOAD=") + kPreloadLibrary;
    if (settings.emulator.empty()) {
        launch.executable = tool;
        launch.env.push_back(preload);
        launch.argv.push_back(tool);
    } else {
        // The emulator is a host program; the preload library is for the emulated tool only.
        launch.executable = settings.emulator;
        launch.argv = {settings.emulator};
        if (settings.withSysroot) launch.argv.insert(launch.argv.end(), {"-L", kSysroot});
        launch.argv.insert(launch.argv.end(), {"-E", preload, tool});
    }
    launch.argv.insert(launch.argv.end(), settings.toolArgs.begin(), settings.toolArgs.end());
    return launch;
}

pid_t StartTool(const ToolLaunch& launch, int stdoutFd, int stderrFd, std::string& error) {
    std::vector<std::string> argvTexts = launch.argv;
    std::vector<std::string> envTexts = launch.env;
    std::vector<char*> argv = CStrings(argvTexts);
    std::vector<char*> envp = CStrings(envTexts);
    pid_t pid = fork();
    if (pid == 0) ExecInRoot(launch, argv.data(), envp.data(), stdoutFd, stderrFd);
    if (pid < 0) error = std::string("cannot fork the tool: ") + strerror(errno);
    return pid;
}

}  // namespace bench
