#include "ledTest.h"

#include <cstddef>
#include <cstdio>

#include "hwPaths.h"
#include "vxDioIoctl.h"
#include "vxLog.h"
#include "vxSys.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "LEDTest";
constexpr int kDioOpenMode = 1;
constexpr unsigned kSettleUs = 100000;
constexpr unsigned kBeforeLedsOffUs = 300000;
constexpr int kBeeperSdo = 3;  // entry 0; the LEDs "D3" and "D2" follow as SDO4 and SDO5
constexpr int kLastLedSdo = 5;
constexpr int kLedD3Sdo = 4;
constexpr int kLedD2Sdo = 5;

void ResetEntries(std::vector<_tag_PortData_>& vPort, size_t n) {
    for (size_t i = 0; i < n && i < vPort.size(); ++i) vPort[i] = _tag_PortData_{};
}

void SwitchAndCheck(ComDioIoctl& dio, int m, int v, std::vector<_tag_PortData_>& vLedPort) {
    uint8_t index = static_cast<uint8_t>(DIO_SYS_PORT | m);
    int r = v == 0 ? dio.SetDOOFF(index) : dio.SetDOOutput(index);
    if (r < 0) {
        RTLOG_FROM(kLogRoutine, "Write SDO%d:%d Err!", m, r);
        return;
    }
    Sys().Usleep(kSettleUs);
    if (dio.GetDOSta(index) != v) {
        RTLOG_FROM(kLogRoutine, "Write SDO%d:%d Err!", m, v);
        return;
    }
    size_t entry = static_cast<size_t>(m - kBeeperSdo);
    if (entry < vLedPort.size()) vLedPort[entry].cSta |= STA_PASS;
    RTLOG_FROM(kLogRoutine, "Write SDO%d:%d OK!", m, v);
}

void SwitchLedsOff() {
    char cmd[256] = {0};
    snprintf(cmd, sizeof cmd, hw::kCmdDioOffPairFmt, kLedD3Sdo, kLedD2Sdo, hw::kDioDevice);
    Sys().System(cmd);
}
}  // namespace

int LEDTestOn(const char* path, uint16_t nLedCnt, std::vector<_tag_PortData_>& vLedPort) {
    ComDioIoctl dio;
    if (dio.init(path, kDioOpenMode) != 0) {
        RTLOG_FROM(kLogRoutine, "#######Err OpenDio:%s##", path);
        return -1;
    }
    ResetEntries(vLedPort, nLedCnt);
    for (int m = kBeeperSdo; m <= kLastLedSdo; ++m) {
        SwitchAndCheck(dio, m, 0, vLedPort);
        SwitchAndCheck(dio, m, 1, vLedPort);
    }
    dio.uninit();
    Sys().Usleep(kBeforeLedsOffUs);
    SwitchLedsOff();
    return 0;
}

int LEDTest(uint16_t nLedCnt, std::vector<_tag_PortData_>& vLedPort) {
    return LEDTestOn(hw::kDioDevice, nLedCnt, vLedPort);
}
