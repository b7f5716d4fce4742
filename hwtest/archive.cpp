#include "archive.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "hwPaths.h"
#include "indications.h"
#include "portInfo.h"
#include "vxLog.h"
#include "vxSys.h"
#include "vxText.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "RecordhwTest";
constexpr char kVerdictOk[] = "OK";
constexpr char kVerdictErr[] = "ERR";

std::string Quoted(const std::string& path) { return "\"" + ShellEscapeInQuotes(path) + "\""; }

// Flushes the file system holding `path` (a file or a directory) to its medium.
void FlushFileSystemOf(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    syncfs(fd);
    close(fd);
}

bool WriteAll(int fd, const char* path, const char* szJson, int nLen) {
    int done = 0;
    while (done < nLen) {
        ssize_t n = write(fd, szJson + done, static_cast<size_t>(nLen - done));
        if (n <= 0) {
            RTLOG_FROM(kLogRoutine, "write:%s error!!!", szJson);
            return false;
        }
        done += static_cast<int>(n);
    }
    RTLOG_FROM(kLogRoutine, "write %s ok:%s !!!", path, szJson);
    return true;
}

// The document is on the medium only when the flush and the close succeed too.
bool FlushAndClose(int fd, const char* path) {
    bool flushed = fsync(fd) == 0;
    if (!flushed) RTLOG_FROM(kLogRoutine, "fsync file:%s error!!!", path);
    bool closed = close(fd) == 0;
    if (!closed) RTLOG_FROM(kLogRoutine, "close file:%s error!!!", path);
    return flushed && closed;
}
}  // namespace

std::string ShellEscapeInQuotes(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '$' || c == '`' || c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

std::string FileNamePart(const char* text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '/') c = '_';
    }
    return out;
}

std::string FlashCopyCommand(const std::string& host, const std::string& id,
                             const std::string& stamp, const char* verdict) {
    std::string dest =
        StrPrintf(hw::kArchiveFlashNameFmt, host.c_str(), id.c_str(), stamp.c_str(), verdict);
    return StrPrintf(hw::kArchiveFlashCopyFmt, Quoted(dest).c_str());
}

std::string StickMkdirCommand(const std::string& mountPoint, const char* verdict) {
    std::string dir = StrPrintf(hw::kArchiveStickDirFmt, mountPoint.c_str(), verdict);
    return StrPrintf(hw::kArchiveStickMkdirFmt, Quoted(dir).c_str());
}

std::string StickCopyCommand(const std::string& mountPoint, const char* verdict,
                             const std::string& host, const std::string& id,
                             const std::string& stamp) {
    std::string dest = StrPrintf(hw::kArchiveStickNameFmt, mountPoint.c_str(), verdict,
                                 host.c_str(), id.c_str(), stamp.c_str());
    return StrPrintf(hw::kArchiveStickCopyFmt, Quoted(dest).c_str());
}

std::string MoveCommand(const std::string& host, const std::string& id, const std::string& stamp) {
    std::string dest = StrPrintf(hw::kArchiveMovedNameFmt, host.c_str(), id.c_str(), stamp.c_str());
    return StrPrintf(hw::kArchiveMoveFmt, Quoted(dest).c_str());
}

int RecordhwTest(char* szJson, int nLen) { return RecordhwTestTo(hw::kResultFile, szJson, nLen); }

int RecordhwTestTo(const char* path, char* szJson, int nLen) {
    if (szJson == nullptr) return -1;
    memcpy(szJson + nLen, "]}", 3);
    nLen += 2;
    int fd = open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        RTLOG_FROM(kLogRoutine, "open file:%s error!!!", path);
        TestEndTips(-2);
        return -1;
    }
    const bool written = WriteAll(fd, path, szJson, nLen);
    if (!FlushAndClose(fd, path) || !written) {
        // A record cut short is lost as surely as one never opened.
        TestEndTips(-2);
        return -1;
    }
    return 0;
}

int mvLogFileName(const char* szHost, const char* szDateTime, const char* szChipId, int iTestSta) {
    const char* verdict = iTestSta == 0 ? kVerdictOk : kVerdictErr;
    const std::string host = FileNamePart(szHost);
    const std::string id = FileNamePart(szChipId);
    Sys().System(hw::kCmdMkdirArchive);
    Sys().System(FlashCopyCommand(host, id, szDateTime, verdict).c_str());
    FlushFileSystemOf(hw::kArchiveDir);
    for (const std::string& mountPoint : g_USBDEV) {
        Sys().System(StickMkdirCommand(mountPoint, verdict).c_str());
        Sys().System(StickCopyCommand(mountPoint, verdict, host, id, szDateTime).c_str());
        FlushFileSystemOf(StrPrintf(hw::kArchiveStickDirFmt, mountPoint.c_str(), verdict));
    }
    Sys().System(MoveCommand(host, id, szDateTime).c_str());
    FlushFileSystemOf(hw::kTmpDir);
    return 0;
}
