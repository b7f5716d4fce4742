#include "fakeroot.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "mounts.h"
#include "text_util.h"

namespace bench {

namespace {
const char* const kTopDirs[] = {"bin", "sbin", "lib", "lib32", "lib64", "libx32"};
const char* const kHostDevices[] = {"null", "zero", "full", "random", "urandom", "tty"};
constexpr char kDevptsOptions[] = "newinstance,ptmxmode=0666,mode=0620";
constexpr char kPasswd[] = "root:x:0:0:root:/home/root:/bin/sh\n";
constexpr char kGroup[] = "root:x:0:\n";

bool Symlink(const std::string& target, const std::string& link, std::string& error) {
    if (symlink(target.c_str(), link.c_str()) != 0) {
        error = "cannot link " + link + " -> " + target + ": " + strerror(errno);
        return false;
    }
    return true;
}

// Debian reaches some programs through /etc/alternatives (awk -> mawk); the links come along.
bool CopyAlternatives(const std::string& to, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory("/etc/alternatives", ec)) return true;
    fs::copy("/etc/alternatives", to, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
             ec);
    if (ec) error = "cannot copy /etc/alternatives: " + ec.message();
    return !ec;
}

bool CopyIfPresent(const std::string& from, const std::string& to, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::exists(from, ec)) return true;
    std::string resolved = std::filesystem::canonical(from, ec).string();
    return ec || CopyFile(resolved, to, 0644, error);
}
}  // namespace

std::string FakeRoot::Host(const std::string& inside) const { return JoinPath(m_root, inside); }

bool FakeRoot::MountRoot(std::string& error) {
    if (!MountTmpfs("bench-root", m_root, "mode=0755,size=256m", error)) return false;
    for (const char* dir : {"/etc", "/home", "/run/media", "/var", "/proc", "/sys", "/usr"}) {
        if (!MakeDirs(Host(dir), 0755, error)) return false;
    }
    return MakeDirs(Host("/tmp"), 01777, error);
}

bool FakeRoot::SetUpUserland(Userland userland, std::string& error) {
    if (!BindMount("/usr", Host("/usr"), true, error)) return false;
    for (const char* dir : kTopDirs) {
        if (userland == Userland::kBusybox && std::string(dir) == "bin") continue;
        if (!LinkOrBindTopDir(dir, error)) return false;
    }
    return userland != Userland::kBusybox || PopulateBusybox(error);
}

// Merged-/usr hosts have /bin -> usr/bin and so on; others get the directory bound read-only.
bool FakeRoot::LinkOrBindTopDir(const std::string& name, std::string& error) {
    std::string hostPath = "/" + name;
    struct stat info {};
    if (lstat(hostPath.c_str(), &info) != 0) return true;
    if (S_ISLNK(info.st_mode)) {
        std::error_code ec;
        std::string target = std::filesystem::read_symlink(hostPath, ec).string();
        return !ec && Symlink(target, Host(hostPath), error);
    }
    return !S_ISDIR(info.st_mode) || BindMount(hostPath, Host(hostPath), true, error);
}

// The board's userland: /bin holds a link per busybox applet, /bin/sh included.
bool FakeRoot::PopulateBusybox(std::string& error) {
    if (!MakeDirs(Host("/bin"), 0755, error)) return false;
    std::string command = std::string(kBusybox) + " --list";
    FILE* list = popen(command.c_str(), "r");
    if (list == nullptr) {
        error = "cannot run " + command;
        return false;
    }
    char line[256];
    bool ok = Symlink(kBusybox, Host("/bin/busybox"), error);
    while (ok && fgets(line, sizeof line, list) != nullptr) {
        std::string applet = TrimBlanks(line);
        if (!applet.empty() && applet.find('/') == std::string::npos)
            ok = Symlink(kBusybox, Host("/bin/" + applet), error);
    }
    int status = pclose(list);
    if (ok && status != 0) {
        error = command + " failed";
        ok = false;
    }
    return ok;
}

bool FakeRoot::SetUpDev(std::string& error) {
    if (!MountTmpfs("bench-dev", Host("/dev"), "mode=0755,size=1m", error)) return false;
    for (const char* device : kHostDevices) {
        std::string hostPath = std::string("/dev/") + device;
        if (access(hostPath.c_str(), F_OK) != 0) continue;
        if (!BindMount(hostPath, Host(hostPath), false, error)) return false;
    }
    std::string pts = Host("/dev/pts");
    if (!MakeDirs(pts, 0755, error)) return false;
    if (mount("devpts", pts.c_str(), "devpts", MS_NOSUID | MS_NOEXEC, kDevptsOptions) != 0) {
        error = "cannot mount a new devpts instance at " + pts + ": " + strerror(errno) +
                " (the kernel needs pseudo-terminal support with multiple instances)";
        return false;
    }
    return Symlink("pts/ptmx", Host("/dev/ptmx"), error) &&
           MakeDirs(Host("/dev/shm"), 01777, error);
}

bool FakeRoot::SealDev(std::string& error) { return RemountReadOnly(Host("/dev"), error); }

bool FakeRoot::SetUpEtc(const Scenario& scenario, std::string& error) {
    if (!WriteFile(Host("/etc/passwd"), kPasswd, error) ||
        !WriteFile(Host("/etc/group"), kGroup, error) ||
        !WriteFile(Host("/etc/hostname"), scenario.board.hostname + "\n", error) ||
        !Symlink("../proc/self/mounts", Host("/etc/mtab"), error) ||
        !CopyAlternatives(Host("/etc/alternatives"), error) ||
        !CopyIfPresent("/etc/ld.so.cache", Host("/etc/ld.so.cache"), error) ||
        !CopyIfPresent("/etc/localtime", Host("/etc/localtime"), error))
        return false;
    return !scenario.vxdioConf || WriteFile(Host("/etc/vxdio.conf"), *scenario.vxdioConf, error);
}

bool FakeRoot::SetUpSys(const Scenario& scenario, std::string& error) {
    if (!MakeDirs(Host(kIioDir), 0755, error)) return false;
    for (const auto& [channel, raw] : scenario.adcRaw) {
        std::string file = std::string(kIioDir) + "/in_voltage" + std::to_string(channel) + "_raw";
        if (!WriteFile(Host(file), raw, error)) return false;
    }
    if (scenario.fuseId && !WriteFile(Host(kFuseFile), *scenario.fuseId, error)) return false;
    return WriteFile(Host(kCpuTrigger), scenario.board.cpuLedTrigger, error);
}

bool FakeRoot::SetUpWorkdir(const Scenario& scenario, const std::string& toolPath,
                            std::string& error) {
    std::string workdir = scenario.board.workdir;
    if (!MakeDirs(Host(workdir), 0755, error)) return false;
    if (scenario.devuzeIni &&
        !WriteFile(Host(JoinPath(workdir, "devuzeV7.ini")), *scenario.devuzeIni, error))
        return false;
    return CopyFile(toolPath, Host(JoinPath(workdir, kToolName)), 0755, error);
}

bool FakeRoot::SetUpBenchCorner(const std::string& preloadPath, std::string& error) {
    return MakeDirs(Host(kBenchCorner), 0755, error) &&
           CopyFile(preloadPath, Host(kPreloadLibrary), 0755, error);
}

bool FakeRoot::BindSysroot(const std::string& sysroot, std::string& error) {
    return BindMount(sysroot, Host(kSysroot), true, error);
}

bool FakeRoot::BindCoverage(const std::string& hostDir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(hostDir, ec);
    if (ec) {
        error = "cannot create the coverage folder " + hostDir + ": " + ec.message();
        return false;
    }
    return BindMount(hostDir, Host(kCoverageDir), false, error);
}

bool FakeRoot::MountProc(std::string& error) {
    std::string proc = Host("/proc");
    if (mount("proc", proc.c_str(), "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0) {
        error = "cannot mount proc at " + proc + ": " + strerror(errno);
        return false;
    }
    return true;
}

}  // namespace bench
