#include "dioLoopback.h"

#include <cstddef>

#include "hwPaths.h"
#include "traceLogFormat.h"
#include "vxDioIoctl.h"
#include "vxLog.h"
#include "vxSys.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "DIOTest";
constexpr int kDioOpenMode = 1;
constexpr unsigned kSettleUs = 100000;
constexpr uint8_t kStaFail = STA_RECV_ERR;
constexpr int kSysOutputs = tracefmt::kSystemOutputs;
// DO1 and DO2 are wired to DI1 and DI2; the next inputs, one per system output, belong to the
// system outputs in reverse (SDO2 to DI3, SDO1 to DI4); the ordinary outputs go on after them.
constexpr int kDirectPairs = 2;

struct DioPass {
    ComDioIoctl& dio;
    int iLevel;
    uint16_t nDoCnt;
    uint16_t nDiCnt;
    std::vector<_tag_PortData_>& vDo;
    std::vector<_tag_PortData_>& vDi;
};

void ResetEntries(std::vector<_tag_PortData_>& vPort, size_t n) {
    for (size_t i = 0; i < n && i < vPort.size(); ++i) vPort[i] = _tag_PortData_{};
}

void SetSta(std::vector<_tag_PortData_>& vPort, size_t i, uint8_t sta) {
    if (i < vPort.size()) vPort[i].cSta = sta;
}

int WriteLevel(ComDioIoctl& dio, uint8_t index, int iLevel) {
    return iLevel == 0 ? dio.SetDOOFF(index) : dio.SetDOOutput(index);
}

int PairedInput(int k) { return k <= kDirectPairs ? k : k + kSysOutputs; }

int SysPairedInput(int j) { return kDirectPairs + kSysOutputs + 1 - j; }

bool HasInput(const DioPass& p, int d) {
    return DioPortNameable(d) && d <= p.nDiCnt && static_cast<size_t>(d) <= p.vDi.size();
}

// Inputs past what an index byte can name are never read: they fail with one line each.
void FailUnnameableInputs(DioPass& p) {
    for (int d = DIO_MAX_PORT_NUM + 1; d <= p.nDiCnt; ++d) {
        SetSta(p.vDi, d - 1, kStaFail);
        RTLOG_FROM(kLogRoutine, "DI%d has no port index, Err!", d);
    }
}

void CheckInput(DioPass& p, int k, int s, int d) {
    int v = p.dio.GetDISta(static_cast<uint8_t>(d));
    if (v == s) {
        SetSta(p.vDo, k - 1, STA_PASS);
        SetSta(p.vDi, d - 1, STA_PASS);
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kDoReadBackFmt, k, s, d, v, tracefmt::kLineOk);
    } else {
        SetSta(p.vDi, d - 1, kStaFail);
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kDoReadBackFmt, k, s, d, v, tracefmt::kLineErr);
    }
}

void TestOutput(DioPass& p, int k) {
    if (!DioPortNameable(k)) {
        SetSta(p.vDo, k - 1, kStaFail);
        RTLOG_FROM(kLogRoutine, "DO%d has no port index, Err!", k);
        return;
    }
    uint8_t index = static_cast<uint8_t>(k);
    int r = WriteLevel(p.dio, index, p.iLevel);
    if (r < 0) {
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kDoWriteErrFmt, k, r);
        return;
    }
    Sys().Usleep(kSettleUs);
    int s = p.dio.GetDOSta(index);
    if (s != p.iLevel) {
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kDoWriteErrFmt, k, p.iLevel);
        return;
    }
    SetSta(p.vDo, k - 1, STA_PASS);
    RTLOG_FROM(kLogRoutine, "Write DO%d:%d OK!", k, p.iLevel);
    int d = PairedInput(k);
    if (!HasInput(p, d)) {
        SetSta(p.vDo, k - 1, kStaFail);
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kDoNoInputFmt, k, s, d);
        return;
    }
    CheckInput(p, k, s, d);
}

void CheckSysInput(DioPass& p, int j, int s, int d) {
    size_t entry = p.nDoCnt + j - 1;
    int v = p.dio.GetDISta(static_cast<uint8_t>(d));
    if (v == s) {
        SetSta(p.vDo, entry, STA_PASS);
        SetSta(p.vDi, d - 1, STA_PASS);
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kSdoReadBackFmt, j, s, d, v, tracefmt::kLineOk);
    } else {
        SetSta(p.vDi, d - 1, kStaFail);
        SetSta(p.vDo, entry, kStaFail);
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kSdoReadBackFmt, j, s, d, v, tracefmt::kLineErr);
    }
}

// Unlike an ordinary output, a system output is read back at once and settles before its
// input is read, and fails together with a disagreeing input.
void TestSysOutput(DioPass& p, int j) {
    uint8_t index = static_cast<uint8_t>(DIO_SYS_PORT | j);
    int r = WriteLevel(p.dio, index, p.iLevel);
    if (r < 0) {
        RTLOG_FROM(kLogRoutine, "Write SDO%d:%d Err!", j, r);
        return;
    }
    int s = p.dio.GetDOSta(index);
    if (s != p.iLevel) {
        RTLOG_FROM(kLogRoutine, "Write SDO%d:%d Err!", j, p.iLevel);
        return;
    }
    SetSta(p.vDo, p.nDoCnt + j - 1, STA_PASS);
    RTLOG_FROM(kLogRoutine, "Write SDO%d:%d!", j, p.iLevel);
    Sys().Usleep(kSettleUs);
    int d = SysPairedInput(j);
    if (!HasInput(p, d)) {
        SetSta(p.vDo, p.nDoCnt + j - 1, kStaFail);
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kSdoNoInputFmt, j, s, d);
        return;
    }
    CheckSysInput(p, j, s, d);
}
}  // namespace

int DIOTestOn(const char* path, uint16_t nDoCnt, uint16_t nDiCnt, int iLevel,
              std::vector<_tag_PortData_>& vDoPort, std::vector<_tag_PortData_>& vDiPort) {
    ComDioIoctl dio;
    if (dio.init(path, kDioOpenMode) != 0) {
        RTLOG_FROM(kLogRoutine, "#######Err OpenDio:%s##", path);
        return -1;
    }
    ResetEntries(vDoPort, static_cast<size_t>(nDoCnt) + kSysOutputs);
    ResetEntries(vDiPort, nDiCnt);
    DioPass pass{dio, iLevel, nDoCnt, nDiCnt, vDoPort, vDiPort};
    FailUnnameableInputs(pass);
    for (int k = 1; k <= nDoCnt; ++k) TestOutput(pass, k);
    for (int j = 1; j <= kSysOutputs; ++j) TestSysOutput(pass, j);
    dio.uninit();
    return 0;
}

int DIOTest(uint16_t nDoCnt, uint16_t nDiCnt, int iLevel, std::vector<_tag_PortData_>& vDoPort,
            std::vector<_tag_PortData_>& vDiPort) {
    return DIOTestOn(hw::kDioDevice, nDoCnt, nDiCnt, iLevel, vDoPort, vDiPort);
}
