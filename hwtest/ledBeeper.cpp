#include "ledBeeper.h"

#include <cstddef>
#include <iterator>

#include "hwPaths.h"
#include "traceLogFormat.h"
#include "vxDioIoctl.h"
#include "vxDioText.h"
#include "vxLog.h"
#include "vxSys.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "LEDTest";
constexpr int kDioOpenMode = 1;
constexpr unsigned kSettleUs = 100000;
constexpr unsigned kBeforeLedsOffUs = 300000;

void ResetEntries(std::vector<_tag_PortData_>& vPort, size_t n) {
    for (size_t i = 0; i < n && i < vPort.size(); ++i) vPort[i] = _tag_PortData_{};
}

void SwitchAndCheck(ComDioIoctl& dio, size_t entry, int v, std::vector<_tag_PortData_>& vLedPort) {
    const int m = tracefmt::kLeds[entry].output;
    uint8_t index = static_cast<uint8_t>(DIO_SYS_PORT | m);
    int r = v == 0 ? dio.SetDOOFF(index) : dio.SetDOOutput(index);
    if (r < 0) {
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kSdoSwitchFmt, m, r, tracefmt::kLineErr);
        return;
    }
    Sys().Usleep(kSettleUs);
    if (dio.GetDOSta(index) != v) {
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kSdoSwitchFmt, m, v, tracefmt::kLineErr);
        return;
    }
    if (entry < vLedPort.size()) vLedPort[entry].cSta |= STA_PASS;
    RTLOG_FMT_FROM(kLogRoutine, tracefmt::kSdoSwitchFmt, m, v, tracefmt::kLineOk);
}
}  // namespace

int LEDTestOn(const char* path, uint16_t nLedCnt, std::vector<_tag_PortData_>& vLedPort) {
    ComDioIoctl dio;
    if (dio.init(path, kDioOpenMode) != 0) {
        RTLOG_FROM(kLogRoutine, "#######Err OpenDio:%s##", path);
        return -1;
    }
    ResetEntries(vLedPort, nLedCnt);
    for (size_t entry = 0; entry < std::size(tracefmt::kLeds); ++entry) {
        SwitchAndCheck(dio, entry, 0, vLedPort);
        SwitchAndCheck(dio, entry, 1, vLedPort);
    }
    dio.uninit();
    Sys().Usleep(kBeforeLedsOffUs);
    DioLedsOff();
    return 0;
}

int LEDTest(uint16_t nLedCnt, std::vector<_tag_PortData_>& vLedPort) {
    return LEDTestOn(hw::kDioDevice, nLedCnt, vLedPort);
}
