#include "mounts.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "text_util.h"

namespace bench {

namespace {
std::string Reason(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + strerror(errno);
}

unsigned long FlagsToKeep(const std::string& target) {
    struct statvfs info {};
    if (statvfs(target.c_str(), &info) != 0) return 0;
    unsigned long flags = 0;
    if (info.f_flag & ST_NOSUID) flags |= MS_NOSUID;
    if (info.f_flag & ST_NODEV) flags |= MS_NODEV;
    if (info.f_flag & ST_NOEXEC) flags |= MS_NOEXEC;
    if (info.f_flag & ST_NOATIME) flags |= MS_NOATIME;
    if (info.f_flag & ST_NODIRATIME) flags |= MS_NODIRATIME;
    if (info.f_flag & ST_RELATIME) flags |= MS_RELATIME;
    return flags;
}
}  // namespace

bool MakeDirs(const std::string& path, unsigned mode, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec) {
        error = "cannot create " + path + ": " + ec.message();
        return false;
    }
    if (chmod(path.c_str(), mode) != 0) {
        error = Reason("cannot set the mode of", path);
        return false;
    }
    return true;
}

bool MountTmpfs(const std::string& source, const std::string& target, const std::string& options,
                std::string& error) {
    if (!MakeDirs(target, 0755, error)) return false;
    if (mount(source.c_str(), target.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) !=
        0) {
        error = Reason("cannot mount a tmpfs at", target);
        return false;
    }
    return true;
}

bool BindMount(const std::string& source, const std::string& target, bool readOnly,
               std::string& error) {
    struct stat info {};
    if (stat(source.c_str(), &info) != 0) {
        error = Reason("cannot bind", source);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        if (!MakeDirs(target, 0755, error)) return false;
    } else if (!WriteFile(target, "", error)) {
        return false;
    }
    if (mount(source.c_str(), target.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0) {
        error = Reason("cannot bind " + source + " at", target);
        return false;
    }
    return !readOnly || RemountReadOnly(target, error);
}

bool RemountReadOnly(const std::string& target, std::string& error) {
    unsigned long flags = MS_REMOUNT | MS_BIND | MS_RDONLY | FlagsToKeep(target);
    if (mount(nullptr, target.c_str(), nullptr, flags, nullptr) != 0) {
        error = Reason("cannot make read-only", target);
        return false;
    }
    return true;
}

bool CopyFile(const std::string& from, const std::string& to, unsigned mode, std::string& error) {
    std::error_code ec;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
        error = "cannot copy " + from + " to " + to + ": " + ec.message();
        return false;
    }
    if (chmod(to.c_str(), mode) != 0) {
        error = Reason("cannot set the mode of", to);
        return false;
    }
    return true;
}

bool WriteFile(const std::string& path, const std::string& content, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (!WriteFileText(path, content)) {
        error = Reason("cannot write", path);
        return false;
    }
    return true;
}

}  // namespace bench
