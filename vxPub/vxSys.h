// The one seam between the tool and the shell and clock: every shell command, pipe and pause
// goes through Sys(), so tests can record the commands and feed canned output.
#pragma once

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
