#include "vxSys.h"

#include <sys/msg.h>
#include <unistd.h>

#include <cstdlib>

namespace {
SysOps g_realOps;
SysOps* g_ops = &g_realOps;
}  // namespace

int SysOps::System(const char* command) { return std::system(command); }
FILE* SysOps::Popen(const char* command, const char* mode) { return popen(command, mode); }
int SysOps::Pclose(FILE* stream) { return pclose(stream); }
void SysOps::Usleep(unsigned int usec) { usleep(usec); }
void SysOps::Sleep(unsigned int seconds) { sleep(seconds); }
ssize_t SysOps::Write(int fd, const void* data, size_t size) { return write(fd, data, size); }
int SysOps::Msgget(key_t key, int flags) { return msgget(key, flags); }
int SysOps::Msgsnd(int queueId, const void* msg, size_t size, int flags) {
    return msgsnd(queueId, msg, size, flags);
}

SysOps& Sys() { return *g_ops; }
void SetSys(SysOps* ops) { g_ops = ops != nullptr ? ops : &g_realOps; }
FILE* SysOps::Fopen(const char* path, const char* mode) { return fopen(path, mode); }
int SysOps::Fclose(FILE* stream) { return fclose(stream); }
