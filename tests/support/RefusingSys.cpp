#include "RefusingSys.h"

#include <cerrno>

int RefusingSys::System(const char* command) {
    ADD_FAILURE() << "unexpected System(\"" << command << "\")";
    return -1;
}

FILE* RefusingSys::Popen(const char* command, const char* mode) {
    ADD_FAILURE() << "unexpected Popen(\"" << command << "\", \"" << mode << "\")";
    errno = EPERM;
    return nullptr;
}

int RefusingSys::Pclose(FILE* /*stream*/) {
    ADD_FAILURE() << "unexpected Pclose()";
    return -1;
}

void RefusingSys::Usleep(unsigned int usec) {
    ADD_FAILURE() << "unexpected Usleep(" << usec << ")";
}

void RefusingSys::Sleep(unsigned int seconds) {
    ADD_FAILURE() << "unexpected Sleep(" << seconds << ")";
}

ssize_t RefusingSys::Write(int fd, const void* /*data*/, size_t size) {
    ADD_FAILURE() << "unexpected Write(" << fd << ", " << size << " bytes)";
    errno = EPERM;
    return -1;
}

int RefusingSys::Msgget(key_t key, int flags) {
    ADD_FAILURE() << "unexpected Msgget(" << key << ", 0" << std::oct << flags << ")";
    errno = EPERM;
    return -1;
}

int RefusingSys::Msgsnd(int queueId, const void* /*msg*/, size_t size, int /*flags*/) {
    ADD_FAILURE() << "unexpected Msgsnd(" << queueId << ", " << size << " bytes)";
    errno = EPERM;
    return -1;
}

FILE* RefusingSys::Fopen(const char* path, const char* mode) {
    ADD_FAILURE() << "unexpected Fopen(\"" << path << "\", \"" << mode << "\")";
    errno = EPERM;
    return nullptr;
}

int RefusingSys::Fclose(FILE* /*stream*/) {
    ADD_FAILURE() << "unexpected Fclose()";
    return EOF;
}

int RefusingDioDriver::Ioctl(int fd, unsigned long code, unsigned long arg) {
    ADD_FAILURE() << "unexpected ioctl(" << fd << ", " << code << ", " << arg << ")";
    errno = EPERM;
    return -1;
}

void RefusingSeamsEnvironment::SetUp() {
    SetSys(&sys_);
    SetDioDriver(&driver_);
}

void RefusingSeamsEnvironment::TearDown() {
    SetSys(nullptr);
    SetDioDriver(nullptr);
}
