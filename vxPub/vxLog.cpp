#include "vxLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "vxText.h"

namespace {
unsigned int icount = 0;
char buffer[vxlog::kLineBufferSize];

void RotateIfFull() {
    if (icount <= vxlog::kLinesPerFile - 1) return;
    const std::string backup = std::string(filename) + ".bak";
    std::remove(backup.c_str());
    std::rename(filename, backup.c_str());
    icount = 0;
}

// Builds the finished line in `buffer`. A message too long for the line is cut so that the
// line still ends in the newline the message ended in.
size_t FormatLine(const char* name, const char* message) {
    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char prefix[256];
    int prefixLen =
        snprintf(prefix, sizeof prefix, tracefmt::kRecordPrefixFmt, static_cast<long>(icount), name,
                 local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                 local.tm_sec);
    if (prefixLen < 0) prefixLen = 0;
    if (prefixLen >= static_cast<int>(sizeof prefix)) prefixLen = sizeof prefix - 1;
    size_t room = sizeof buffer - 1 - static_cast<size_t>(prefixLen);
    size_t msgLen = strlen(message);
    memcpy(buffer, prefix, static_cast<size_t>(prefixLen));
    if (msgLen <= room) {
        memcpy(buffer + prefixLen, message, msgLen + 1);
        return static_cast<size_t>(prefixLen) + msgLen;
    }
    bool endsInNewline = msgLen > 0 && message[msgLen - 1] == '\n';
    size_t keep = endsInNewline ? room - 1 : room;
    memcpy(buffer + prefixLen, message, keep);
    if (endsInNewline) buffer[prefixLen + keep++] = '\n';
    buffer[prefixLen + keep] = '\0';
    return static_cast<size_t>(prefixLen) + keep;
}

// A message cut at the bound keeps the line end its format asked for.
void KeepLineEndWhenCut(const char* fmt, int fullLength) {
    size_t fmtLen = strlen(fmt);
    if (fullLength >= vxlog::kMessageBound && fmtLen > 0 && fmt[fmtLen - 1] == '\n') {
        buffer[vxlog::kMessageBound - 2] = '\n';
    }
}

// The same open flags as fopen's "a+", without the stream: one open, one write, one close.
void AppendLine(size_t length) {
    int fd = open(filename, O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return;
    ++icount;
    const char* next = buffer;
    while (length > 0) {
        ssize_t written = write(fd, next, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        next += written;
        length -= static_cast<size_t>(written);
    }
    close(fd);
}
}  // namespace

int trace_log(const char* name, const char* fmt, ...) {
    if (name == nullptr) return -1;
    RotateIfFull();
    va_list args;
    va_start(args, fmt);
    int full = vsnprintf(buffer, vxlog::kMessageBound, fmt, args);
    va_end(args);
    if (full < 0) buffer[0] = '\0';
    KeepLineEndWhenCut(fmt, full);
    char message[vxlog::kMessageBound + 4];
    memcpy(message, buffer, strlen(buffer) + 1);
    AppendLine(FormatLine(name, message));
    return 1;
}

void LogFormatAt(const LogOrigin& origin, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const std::string message = StrVPrintf(fmt, args);
    va_end(args);
    trace_log(tracefmt::kTag, "%s" VXLOG_CALLER_TAIL, message.c_str(), origin.module,
              origin.routine, origin.line);
}

namespace vxlog {
unsigned NextLineNumber() { return icount; }
void ResetLineNumber() { icount = 0; }
}  // namespace vxlog
