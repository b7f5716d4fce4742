// The one seam between the tool and the shell and clock: every shell command, pipe and pause,
// every write to a serial port, the tray queue and the configuration file the tool reads go
// through Sys(), so tests can record the calls, feed canned output and make chosen calls fail.
#pragma once

#include <sys/types.h>

#include <algorithm>
#include <cstdio>
#include <vector>

class SysOps {
public:
    virtual ~SysOps() = default;
    virtual int System(const char* command);
    // Returns null when the pipe cannot be created.
    virtual FILE* Popen(const char* command, const char* mode);
    virtual int Pclose(FILE* stream);
    virtual void Usleep(unsigned int usec);
    // For waits of a second or more, which usleep may refuse.
    virtual void Sleep(unsigned int seconds);
    // write(2) on a serial port: the count written, or -1 with errno.
    virtual ssize_t Write(int fd, const void* data, size_t size);
    // msgget(2) and msgsnd(2) of the tray queue: -1 with errno on failure.
    virtual int Msgget(key_t key, int flags);
    virtual int Msgsnd(int queueId, const void* msg, size_t size, int flags);
    // fopen(3) and fclose(3) of a configuration file: null with errno when it cannot be opened.
    virtual FILE* Fopen(const char* path, const char* mode);
    virtual int Fclose(FILE* stream);
};

SysOps& Sys();
// Replaces the operations; null restores the real ones. The caller keeps ownership.
void SetSys(SysOps* ops);

// Reads `stream` line by line with fgets into a zeroed buffer of `lineSize` bytes (so at most
// lineSize - 1 characters a line, the line end kept) and hands each line to `onLine`.
template <class OnLine>
void ForEachLine(FILE* stream, int lineSize, OnLine onLine) {
    std::vector<char> line(static_cast<size_t>(lineSize), '\0');
    while (fgets(line.data(), lineSize, stream) != nullptr) {
        onLine(static_cast<const char*>(line.data()));
        std::fill(line.begin(), line.end(), '\0');
    }
}
