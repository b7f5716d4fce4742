// A stand-in for the shell and clock seam: records every command, pipe and pause in order,
// and answers pipes with canned output.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "vxSys.h"

class FakeSys : public SysOps {
public:
    struct Call {
        enum Kind { kSystem, kPopen, kUsleep, kSleep } kind;
        std::string text;       // the command, for kSystem and kPopen
        unsigned int usec = 0;  // for kUsleep, and kSleep's seconds in microseconds
    };

    FakeSys();   // installs itself
    ~FakeSys();  // restores the real operations

    // Output for a popen of exactly `command`; a command with no canned output prints nothing.
    void SetOutput(const std::string& command, const std::string& output);
    // popen of `command` fails (returns null).
    void FailPopen(const std::string& command);

    int System(const char* command) override;
    FILE* Popen(const char* command, const char* mode) override;
    int Pclose(FILE* stream) override;
    void Usleep(unsigned int usec) override;
    void Sleep(unsigned int seconds) override;

    const std::vector<Call>& Calls() const { return calls_; }
    std::vector<std::string> SystemCommands() const;
    std::vector<std::string> PopenCommands() const;
    unsigned long TotalSleepUs() const;

private:
    std::vector<Call> calls_;
    std::map<std::string, std::string> outputs_;
    std::map<std::string, bool> failing_;
    std::vector<std::string*> open_;  // output texts kept alive while their stream is open
};
