// The one seam between the tool and the shell and clock: every shell command, pipe and pause
// goes through Sys(), so tests can record the commands and feed canned output.
#pragma once

#include <cstdio>

class SysOps {
public:
    virtual ~SysOps() = default;
    virtual int System(const char* command);
    // Returns null when the pipe cannot be created.
    virtual FILE* Popen(const char* command, const char* mode);
    virtual int Pclose(FILE* stream);
    virtual void Usleep(unsigned int usec);
};

SysOps& Sys();
// Replaces the operations; null restores the real ones. The caller keeps ownership.
void SetSys(SysOps* ops);
