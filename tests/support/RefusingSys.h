// The seams every unit test starts from: a shell, clock, serial write, tray queue or DIO ioctl
// call that no fake took over fails the test with a message naming the call, and reaches
// nothing on the machine the tests run on.
#pragma once

#include <gtest/gtest.h>

#include "vxDioIoctl.h"
#include "vxSys.h"

class RefusingSys : public SysOps {
public:
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
};

// The DIO driver while no FakeDio is installed.
class RefusingDioDriver : public DioDriverOps {
public:
    int Ioctl(int fd, unsigned long code, unsigned long arg) override;
};

// Installs the refusing seams before the first test.
class RefusingSeamsEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

private:
    RefusingSys sys_;
    RefusingDioDriver driver_;
};
