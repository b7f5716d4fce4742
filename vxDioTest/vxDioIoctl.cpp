#include "vxDioIoctl.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cstdio>

#include "vxLog.h"

namespace {
constexpr char kLogModule[] = "vxDioTest/vxDioIoctl";

// clang-format off
// Labels of the dump, in the GBK code page: "\xC7\xB0" "\xD7\xE9" read "first ... groups".
constexpr char kLblSysDi1[] = "**SYSDI1:";
constexpr char kLblSysDi2[] = "**\xC7\xB0" "2\xD7\xE9SYSDI:";
constexpr char kLblSysDi3[] = "**\xC7\xB0" "3\xD7\xE9SYSDI:";
constexpr char kLblSysDo1[] = "**SYSDO1:";
constexpr char kLblSysDo2[] = "**\xC7\xB0" "2\xD7\xE9SYSDO:";
constexpr char kLblSysDo3[] = "**\xC7\xB0" "3\xD7\xE9SYSDO:";
constexpr char kLblDi2[] = "**\xC7\xB0" "2\xD7\xE9" "DI:";
constexpr char kLblDi3[] = "**\xC7\xB0" "3\xD7\xE9" "DI:";
constexpr char kLblDo2[] = "**\xC7\xB0" "2\xD7\xE9" "DO:";
constexpr char kLblDo3[] = "**\xC7\xB0" "3\xD7\xE9" "DO:";
// clang-format on

constexpr int kPortsPerGroup = 8;
// Port 1, or group 1, of the ordinary and of the system ports.
constexpr uint8_t kOne = 0x01;
constexpr uint8_t kSysOne = DIO_SYS_PORT | 0x01;

DioDriverOps g_realDriver;
DioDriverOps* g_driver = &g_realDriver;

// Name of a port kind in the count line; null for a code the driver does not know.
const char* KindName(int type) {
    switch (type) {
        case DIOTYPE_DI:
            return "DI";
        case DIOTYPE_DO:
            return "DO";
        case DIOTYPE_SYSDI:
            return "SYSDI";
        case DIOTYPE_SYSDO:
            return "SYSDO";
        default:
            return nullptr;
    }
}

// A driver count bounded to what an index byte can name, so a wild answer cannot run on.
int PortsNameable(int count) { return std::clamp(count, 0, DIO_MAX_PORT_NUM); }
}  // namespace

// Written as a macro so the report's tail names the operation that was refused.
#define DIO_RETURN_IF_CLOSED()                            \
    do {                                                  \
        if (m_fdDio < 0) {                                \
            RTLOG("------Err m_fdDio:%d------", m_fdDio); \
            return -1;                                    \
        }                                                 \
    } while (0)

int DioDriverOps::Ioctl(int fd, unsigned long code, unsigned long arg) {
    return ::ioctl(fd, code, arg);
}

DioDriverOps& DioDriver() { return *g_driver; }
void SetDioDriver(DioDriverOps* ops) { g_driver = ops != nullptr ? ops : &g_realDriver; }

ComDioIoctl::ComDioIoctl() { Reset(); }

ComDioIoctl::~ComDioIoctl() = default;

int ComDioIoctl::Request(unsigned long code, unsigned long arg) {
    return DioDriver().Ioctl(m_fdDio, code, arg);
}

int ComDioIoctl::GetDioNum(int type) {
    DIO_RETURN_IF_CLOSED();
    int iret = Request(VXDIO_GET_NUM, static_cast<unsigned long>(type));
    if (iret < 0) {
        RTLOG("------Err iret:%d DIOType:%d------", iret, type);
        return iret;
    }
    char line[64] = {0};
    const char* kind = KindName(type);
    if (kind != nullptr) {
        snprintf(line, sizeof line, "**%s Num=%d DIOType=%d\n", kind, iret, type);
    } else {
        snprintf(line, sizeof line, "**SYSDO Num=%d\n", iret);
        RTLOG("------Err DIOType:%d,nCntNum:%d------", type, iret);
    }
    printf("%s", line);
    return iret;
}

int ComDioIoctl::SetDOOutput(uint8_t index) {
    DIO_RETURN_IF_CLOSED();
    int iret = Request(VXDIO_SET_DO_ON, index);
    if (iret < 0) RTLOG("------Err iret:%d DOIndex:0x%02X------", iret, index);
    return iret;
}

int ComDioIoctl::SetDOOFF(uint8_t index) {
    DIO_RETURN_IF_CLOSED();
    int iret = Request(VXDIO_SET_DO_OFF, index);
    if (iret < 0) RTLOG("------Err iret:%d DOIndex:0x%02X------", iret, index);
    return iret;
}

int ComDioIoctl::GetDOSta(uint8_t index) {
    DIO_RETURN_IF_CLOSED();
    int iret = Request(VXDIO_RD_DO, index);
    if (iret < 0) {
        RTLOG("------Err VXDIO_RD_DO:%d iret:%d DOIndex:0x%02X------",
              static_cast<int>(VXDIO_RD_DO), iret, index);
    }
    return iret;
}

int ComDioIoctl::GetDISta(uint8_t index) {
    DIO_RETURN_IF_CLOSED();
    int iret = Request(VXDIO_RD_DI, index);
    if (iret < 0) {
        RTLOG("------Err VXDIO_RD_DI:%d iret:%d DIIndex:0x%02X------",
              static_cast<int>(VXDIO_RD_DI), iret, index);
    }
    return iret;
}

int ComDioIoctl::GetDIOSta(int cmd, uint8_t index) {
    DIO_RETURN_IF_CLOSED();
    if (cmd < 0 || cmd > VXDIO_MAX_CMD) {
        RTLOG("------Err nCMD:%d DIOIndex:%d------", cmd, index);
        return -1;
    }
    int iret = Request(static_cast<unsigned long>(cmd), index);
    if (iret < 0) {
        RTLOG("------Err iret:%d DIOIndex:%d------", iret, index);
        return iret;
    }
    printf("**iret:0x%04X nCMD:%d DIOIndex:0x%02X\n", static_cast<unsigned>(iret), cmd, index);
    return iret;
}

void ComDioIoctl::ReadSingles(int count, uint8_t first, bool output) {
    int n = PortsNameable(count);
    for (int i = 0; i < n; ++i) {
        uint8_t index = static_cast<uint8_t>(first + i);
        if (output) {
            GetDOSta(index);
        } else {
            GetDISta(index);
        }
    }
}

void ComDioIoctl::DumpGroup(const char* label, int cmd, uint8_t index) {
    printf("%s", label);
    GetDIOSta(cmd, index);
}

// One "**DI<g>:" or "**DO<g>:" line per group of eight ports, a partial group counting whole.
void ComDioIoctl::DumpPortGroups(int count, const char* kind, int cmd) {
    int groups = (PortsNameable(count) + kPortsPerGroup - 1) / kPortsPerGroup;
    for (int g = 1; g <= groups; ++g) {
        printf("**%s%d:", kind, g);
        GetDIOSta(cmd, static_cast<uint8_t>(g));
    }
}

void ComDioIoctl::DumpSysGroups() {
    DumpGroup(kLblSysDi1, VXDIO_RD_DI_GRP, kSysOne);
    DumpGroup(kLblSysDi2, VXDIO_RD_DI_GRP2, kSysOne);
    DumpGroup(kLblSysDi3, VXDIO_RD_DI_GRP3, kSysOne);
    DumpGroup(kLblSysDo1, VXDIO_RD_DO_GRP, kSysOne);
    DumpGroup(kLblSysDo2, VXDIO_RD_DO_GRP2, kSysOne);
    DumpGroup(kLblSysDo3, VXDIO_RD_DO_GRP3, kSysOne);
}

int ComDioIoctl::GetAllDioSta() {
    DIO_RETURN_IF_CLOSED();
    int nDI = GetDioNum(DIOTYPE_DI);
    ReadSingles(nDI, kOne, false);
    int nDO = GetDioNum(DIOTYPE_DO);
    ReadSingles(nDO, kOne, true);
    ReadSingles(GetDioNum(DIOTYPE_SYSDI), kSysOne, false);
    ReadSingles(GetDioNum(DIOTYPE_SYSDO), kSysOne, true);
    DumpSysGroups();
    DumpPortGroups(nDI, "DI", VXDIO_RD_DI_GRP);
    DumpGroup(kLblDi2, VXDIO_RD_DI_GRP2, kOne);
    DumpGroup(kLblDi3, VXDIO_RD_DI_GRP3, kOne);
    DumpPortGroups(nDO, "DO", VXDIO_RD_DO_GRP);
    DumpGroup(kLblDo2, VXDIO_RD_DO_GRP2, kOne);
    DumpGroup(kLblDo3, VXDIO_RD_DO_GRP3, kOne);
    return 0;
}
