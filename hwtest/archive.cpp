#include "archive.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "hwPaths.h"
#include "indications.h"
#include "portInfo.h"
#include "traceLogFormat.h"
#include "vxLog.h"
#include "vxSys.h"
#include "vxText.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "RecordhwTest";
constexpr auto& kVerdictOk = tracefmt::kArchiveVerdictOk;
constexpr auto& kVerdictErr = tracefmt::kArchiveVerdictErr;
// The host part keeps at least this much when both parts must be shortened (a host name has
// at most 64 bytes).
constexpr size_t kHostShare = 64;

std::string Quoted(const std::string& path) { return "\"" + ShellEscapeInQuotes(path) + "\""; }

// Flushes the file system holding `path` (a file or a directory) to its medium.
void FlushFileSystemOf(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    syncfs(fd);
    close(fd);
}

// The part of a name a character of the text gives: UTF-8 characters are taken whole.
size_t NextUnit(const char* p, std::string& unit) {
    size_t len = std::max(Utf8CharLength(p), 1);
    unit = FileNamePart(std::string(p, len).c_str());
    return len;
}

// Bytes of the longest archive name (the flash copy's, with "ERR") besides host and ID.
size_t FixedNameBytes(const std::string& stamp) {
    return StrPrintf(tracefmt::kArchiveNameFmt, "", "", stamp.c_str(), kVerdictErr).size();
}

// The name of the copies on a stick and beside the log, which carry no verdict.
std::string PlainArchiveName(const std::string& host, const std::string& id,
                             const std::string& stamp) {
    return StrPrintf(tracefmt::kArchivePlainNameFmt, host.c_str(), id.c_str(), stamp.c_str());
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
    RTLOG_FMT_FROM(kLogRoutine, tracefmt::kResultDocFmt, path, szJson);
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
    std::string out = EscapeControls(text);
    for (char& c : out) {
        if (c == '/') c = '_';
    }
    return out;
}

std::string ShortNamePart(const char* text, size_t maxBytes) {
    std::string whole = FileNamePart(text);
    if (whole.size() <= maxBytes) return whole;
    size_t keep =
        maxBytes > tracefmt::kShortenedTagLength ? maxBytes - tracefmt::kShortenedTagLength : 0;
    std::string out, unit;
    for (const char* p = text; *p != '\0';) {
        p += NextUnit(p, unit);
        if (out.size() + unit.size() > keep) break;
        out += unit;
    }
    out += tracefmt::MakeShortenedTag(tracefmt::NameChecksum(whole)).text;
    return out.substr(0, maxBytes);
}

void ArchiveNameParts(const char* szHost, const char* szChipId, const std::string& stamp,
                      std::string& host, std::string& id) {
    host = FileNamePart(szHost);
    id = FileNamePart(szChipId);
    size_t fixed = FixedNameBytes(stamp);
    size_t room = NAME_MAX > fixed ? NAME_MAX - fixed : 0;
    if (host.size() + id.size() <= room) return;
    size_t hostRoom = std::min(room, std::max(kHostShare, room > id.size() ? room - id.size() : 0));
    host = ShortNamePart(szHost, hostRoom);
    id = ShortNamePart(szChipId, room - host.size());
}

std::string FlashCopyCommand(const std::string& host, const std::string& id,
                             const std::string& stamp, const char* verdict) {
    std::string name =
        StrPrintf(tracefmt::kArchiveNameFmt, host.c_str(), id.c_str(), stamp.c_str(), verdict);
    std::string dest = StrPrintf(hw::kArchivePathFmt, hw::kArchiveDir, name.c_str());
    return StrPrintf(hw::kArchiveFlashCopyFmt, Quoted(dest).c_str());
}

std::string StickMkdirCommand(const std::string& mountPoint, const char* verdict) {
    std::string dir = StrPrintf(hw::kArchiveStickDirFmt, mountPoint.c_str(), verdict);
    return StrPrintf(hw::kArchiveStickMkdirFmt, Quoted(dir).c_str());
}

std::string StickCopyCommand(const std::string& mountPoint, const char* verdict,
                             const std::string& host, const std::string& id,
                             const std::string& stamp) {
    std::string dir = StrPrintf(hw::kArchiveStickDirFmt, mountPoint.c_str(), verdict);
    std::string dest =
        StrPrintf(hw::kArchivePathFmt, dir.c_str(), PlainArchiveName(host, id, stamp).c_str());
    return StrPrintf(hw::kArchiveStickCopyFmt, Quoted(dest).c_str());
}

std::string MoveCommand(const std::string& host, const std::string& id, const std::string& stamp) {
    std::string dest =
        StrPrintf(hw::kArchivePathFmt, hw::kTmpDir, PlainArchiveName(host, id, stamp).c_str());
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
        TestEndTips(tracefmt::kSetUpFailureCode);
        return -1;
    }
    const bool written = WriteAll(fd, path, szJson, nLen);
    if (!FlushAndClose(fd, path) || !written) {
        // A record cut short is lost as surely as one never opened.
        TestEndTips(tracefmt::kSetUpFailureCode);
        return -1;
    }
    return 0;
}

int mvLogFileName(const char* szHost, const char* szDateTime, const char* szChipId, int iTestSta) {
    const char* verdict = iTestSta == 0 ? kVerdictOk : kVerdictErr;
    std::string host, id;
    ArchiveNameParts(szHost, szChipId, szDateTime, host, id);
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
