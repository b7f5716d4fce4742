// A stand-in for the shell and clock seam: records every command, pipe and pause in order,
// answers pipes with canned output, and makes chosen calls fail on purpose. Writes pass on to
// the descriptor (a test's own pseudo-terminal) unless told to fall short; the tray queue is
// never the host's.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "vxSys.h"

class FakeSys : public SysOps {
public:
    struct Call {
        enum Kind { kSystem, kPopen, kUsleep, kSleep, kFopen } kind;
        std::string text;       // the command, for kSystem and kPopen; the path, for kFopen
        unsigned int usec = 0;  // for kUsleep, and kSleep's seconds in microseconds
    };
    struct WriteCall {
        int fd;
        std::string bytes;  // what the caller asked to write
    };
    struct TrayCall {
        int queueId;
        long mtype;
        std::string payload;  // the message after its type, `size` bytes
        int flags;
    };
    static constexpr int kQueueId = 4242;  // what Msgget answers unless told to fail

    FakeSys();   // installs itself
    ~FakeSys();  // puts back the operations it replaced

    // Output for a popen of exactly `command`; a command with no canned output prints nothing.
    void SetOutput(const std::string& command, const std::string& output);
    // popen of `command` fails (returns null).
    void FailPopen(const std::string& command);
    // system of `command` answers `status` (a shell's wait status) instead of 0.
    void FailSystem(const std::string& command, int status);
    // Every write after the next `afterWrites` answers `written` (fewer bytes than asked, or -1
    // with `err` in errno) and writes nothing.
    void ShortWrite(long written, int err = 0, size_t afterWrites = 0);
    // Fopen of exactly `path` reads `content`; any other path does not open (ENOENT).
    void SetFile(const std::string& path, const std::string& content);
    // Msgget or Msgsnd answers -1 with `err` in errno.
    void FailMsgget(int err) { msggetErr_ = err; }
    void FailMsgsnd(int err) { msgsndErr_ = err; }

    int System(const char* command) override;
    FILE* Popen(const char* command, const char* mode) override;
    int Pclose(FILE* stream) override;
    void Usleep(unsigned int usec) override;
    void Sleep(unsigned int seconds) override;
    ssize_t Write(int fd, const void* data, size_t size) override;
    int Msgget(key_t key, int flags) override;
    int Msgsnd(int queueId, const void* msg, size_t size, int flags) override;
    FILE* Fopen(const char* path, const char* mode) override;
    int Fclose(FILE* stream) override;

    const std::vector<Call>& Calls() const { return calls_; }
    std::vector<std::string> SystemCommands() const;
    std::vector<std::string> PopenCommands() const;
    unsigned long TotalSleepUs() const;
    const std::vector<WriteCall>& Writes() const { return writes_; }
    // The keys Msgget was asked for, and the messages Msgsnd was given, in order.
    const std::vector<key_t>& QueueKeys() const { return keys_; }
    const std::vector<TrayCall>& TrayMessages() const { return tray_; }

private:
    SysOps* replaced_;
    std::vector<Call> calls_;
    std::map<std::string, std::string> outputs_;
    std::map<std::string, std::string> files_;
    std::map<std::string, bool> failing_;
    std::map<std::string, int> statuses_;
    std::vector<std::string*> open_;  // output texts kept alive while their stream is open
    bool shortWrite_ = false;
    size_t shortFrom_ = 0;  // the index of the first write that falls short
    long written_ = 0;
    int writeErr_ = 0;
    std::vector<WriteCall> writes_;
    int msggetErr_ = 0;
    int msgsndErr_ = 0;
    std::vector<key_t> keys_;
    std::vector<TrayCall> tray_;
};
