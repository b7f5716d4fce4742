#include "storage.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "mounts.h"
#include "text_util.h"

namespace bench {

namespace {
constexpr char kFillFile[] = "fill.bin";

bool MountMedium(const FakeRoot& root, const std::string& name, const std::string& size,
                 std::string& error) {
    std::string target = root.Host(JoinPath(kMediaDir, name));
    return MountTmpfs("/dev/" + name, target, "mode=0755,size=" + size, error);
}
}  // namespace

bool SetUpNandFlash(const FakeRoot& root, const StorageSpec& storage, std::string& error) {
    std::string flash = root.Host(kNandFlash);
    if (!MountTmpfs("nandflash", flash, "mode=0755,size=" + storage.nandSize, error) ||
        !MakeDirs(JoinPath(flash, "tmp"), 0755, error))
        return false;
    return !storage.nandReadOnly || RemountReadOnly(flash, error);
}

bool SetUpMedia(const FakeRoot& root, const StorageSpec& storage, std::string& error) {
    for (const StickSpec& stick : storage.sticks) {
        std::string size = stick.full ? kFullStickSize : storage.stickSize;
        std::string target = root.Host(JoinPath(kMediaDir, stick.name));
        if (!MountMedium(root, stick.name, size, error)) return false;
        if (stick.full && !FillUp(target, error)) return false;
        if (stick.readOnly && !RemountReadOnly(target, error)) return false;
    }
    return !storage.tfCard || MountMedium(root, kTfCardName, storage.stickSize, error);
}

std::vector<std::string> MediaMountPoints(const StorageSpec& storage) {
    std::vector<std::string> points;
    for (const StickSpec& stick : storage.sticks) points.push_back(JoinPath(kMediaDir, stick.name));
    if (storage.tfCard) points.push_back(JoinPath(kMediaDir, kTfCardName));
    return points;
}

bool FillUp(const std::string& dir, std::string& error) {
    std::string path = JoinPath(dir, kFillFile);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot fill " + dir + ": " + strerror(errno);
        return false;
    }
    std::vector<char> block(4096, 'F');
    while (write(fd, block.data(), block.size()) > 0) {
    }
    bool full = errno == ENOSPC;
    if (!full) error = "cannot fill " + dir + ": " + strerror(errno);
    close(fd);
    return full;
}

}  // namespace bench
