#include "namespaces.h"

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "fakeroot.h"
#include "text_util.h"

namespace bench {

namespace {
constexpr char kKillall[] = "/usr/bin/killall";

bool WriteProcFile(const std::string& path, const std::string& text, std::string& error) {
    if (!WriteFileText(path, text)) {
        error = "cannot write " + path + ": " + strerror(errno);
        return false;
    }
    return true;
}

bool MapCallerToRoot(uid_t uid, gid_t gid, std::string& error) {
    return WriteProcFile("/proc/self/setgroups", "deny", error) &&
           WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1", error) &&
           WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1", error);
}

bool Executable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }
}  // namespace

bool EnterNamespaces(bool& userNamespace, std::string& error) {
    uid_t uid = getuid();
    gid_t gid = getgid();
    userNamespace = geteuid() != 0;
    int flags = CLONE_NEWNS | CLONE_NEWPID | CLONE_NEWIPC | CLONE_NEWUTS;
    if (userNamespace) flags |= CLONE_NEWUSER;
    if (unshare(flags) != 0) {
        error = std::string("cannot create private namespaces (") + strerror(errno) + "). " +
                (userNamespace
                     ? "Run as root, or allow unprivileged user namespaces "
                       "(sysctl kernel.unprivileged_userns_clone=1, user.max_user_namespaces > 0, "
                       "and no AppArmor restriction on them)."
                     : "A container may forbid them: run it with the SYS_ADMIN capability.");
        return false;
    }
    if (userNamespace && !MapCallerToRoot(uid, gid, error)) return false;
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        error = std::string("cannot make the mounts private: ") + strerror(errno);
        return false;
    }
    return true;
}

std::string MissingPrerequisite(const Scenario& scenario, const Options& options) {
    if (!Executable(options.tool))
        return "the tool " + options.tool + " does not exist or is not executable (build it first)";
    if (access(options.preload.c_str(), R_OK) != 0)
        return "the preload library " + options.preload + " is missing (build the bench first)";
    if (access("/dev/ptmx", F_OK) != 0)
        return "/dev/ptmx is missing: the kernel offers no pseudo-terminals for the serial ports";
    if (scenario.board.userland == Userland::kBusybox && !Executable(kBusybox))
        return std::string("scenario ") + scenario.name + " wants the busybox userland, but " +
               kBusybox + " is missing (apt-get install busybox)";
    if (scenario.board.userland == Userland::kHost && !Executable(kKillall))
        return std::string(kKillall) +
               " is missing: the tool stops duRurID with killall "
               "(apt-get install psmisc)";
    if (!options.emulator.empty() && options.emulator.rfind("/usr/", 0) != 0)
        return "the emulator must be a program under /usr (the fake root sees the host's /usr)";
    if (!options.emulator.empty() && !Executable(options.emulator))
        return "the emulator " + options.emulator + " is missing";
    return "";
}

}  // namespace bench
