#include "private_devpts.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace bench {

namespace {
bool WriteProc(const std::string& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
    return static_cast<bool>(out.flush());
}

std::string EnterPrivateDevpts() {
    uid_t uid = getuid();
    gid_t gid = getgid();
    int flags = CLONE_NEWNS | (geteuid() != 0 ? CLONE_NEWUSER : 0);
    if (unshare(flags) != 0) return "unshare failed";
    if ((flags & CLONE_NEWUSER) &&
        (!WriteProc("/proc/self/setgroups", "deny") ||
         !WriteProc("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
         !WriteProc("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")))
        return "cannot map the user";
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return "mount private failed";
    char dir[] = "/tmp/bench-pts-XXXXXX";
    if (mkdtemp(dir) == nullptr) return "mkdtemp failed";
    std::string pts = std::string(dir) + "/pts";
    mkdir(pts.c_str(), 0755);
    // The directory stays on the host: a tmpfs over it keeps the test's files off the disk.
    if (mount("tmpfs", dir, "tmpfs", 0, "mode=0755") != 0) return "tmpfs failed";
    mkdir(pts.c_str(), 0755);
    if (mount("devpts", pts.c_str(), "devpts", 0, "newinstance,ptmxmode=0666,mode=0620") != 0)
        return "devpts failed";
    return std::string("dir:") + dir;
}
}  // namespace

bool PrivateDevptsAvailable() {
    pid_t pid = fork();
    if (pid == 0) {
        std::string result = EnterPrivateDevpts();
        _exit(result.rfind("dir:", 0) == 0 ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

void RunWithPrivateDevpts(const std::function<std::string(const std::string&)>& check) {
    std::string entered = EnterPrivateDevpts();
    std::string failure = entered.rfind("dir:", 0) == 0 ? check(entered.substr(4)) : entered;
    if (!failure.empty()) fprintf(stderr, "%s\n", failure.c_str());
    fflush(stderr);
    _exit(failure.empty() ? 0 : 1);
}

}  // namespace bench
