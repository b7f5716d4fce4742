// The working DIO class: every operation is one numbered ioctl request on /dev/vxdio, whose
// third argument is the value itself (no pointer) and whose answer is the ioctl result.
#pragma once

#include "vxDio.h"

// Request codes of the driver: plain numbers, not direction/size-encoded.
inline constexpr unsigned long VXDIO_SET_DO_OFF = 0;
inline constexpr unsigned long VXDIO_SET_DO_ON = 1;
inline constexpr unsigned long VXDIO_RD_DI = 10;
inline constexpr unsigned long VXDIO_RD_DO = 11;
inline constexpr unsigned long VXDIO_GET_NUM = 12;
inline constexpr unsigned long VXDIO_RD_DI_GRP = 13;
inline constexpr unsigned long VXDIO_RD_DI_GRP2 = 14;
inline constexpr unsigned long VXDIO_RD_DI_GRP3 = 15;
inline constexpr unsigned long VXDIO_RD_DO_GRP = 16;
inline constexpr unsigned long VXDIO_RD_DO_GRP2 = 17;
inline constexpr unsigned long VXDIO_RD_DO_GRP3 = 18;
inline constexpr int VXDIO_MAX_CMD = 18;

// The one seam between ComDioIoctl and the driver, in the manner of Sys(): every request goes
// through DioDriver(), so tests can record the requests and answer them.
class DioDriverOps {
public:
    virtual ~DioDriverOps() = default;
    // ioctl(2) with the value itself as third argument: the driver's answer, or -1 with errno.
    virtual int Ioctl(int fd, unsigned long code, unsigned long arg);
};

DioDriverOps& DioDriver();
// Replaces the driver call; null restores the real one. The caller keeps ownership.
void SetDioDriver(DioDriverOps* ops);

class ComDioIoctl : public ComDio {
public:
    ComDioIoctl();
    ~ComDioIoctl();

    // Every operation answers -1 with one "------Err m_fdDio:%d------" report while closed.

    // Count of ports of a DIOType; prints one line "**<kind> Num=..." to standard output.
    int GetDioNum(int type) override;
    int SetDOOutput(uint8_t index) override;
    int SetDOOFF(uint8_t index) override;
    int GetDOSta(uint8_t index) override;
    int GetDISta(uint8_t index) override;
    // Diagnostic dump of every port and group to standard output. 0, or -1 while closed.
    int GetAllDioSta() override;
    // Any request 0..18 with the index; -1 without a request for other codes. A successful
    // answer is printed as "**iret:0x%04X nCMD:%d DIOIndex:0x%02X\n".
    int GetDIOSta(int cmd, uint8_t index) override;

private:
    int Request(unsigned long code, unsigned long arg);
    void ReadSingles(int count, uint8_t first, bool output);
    void DumpGroup(const char* label, int cmd, uint8_t index);
    void DumpPortGroups(int count, const char* kind, int cmd);
    void DumpSysGroups();
};
