#include "startup.h"

#include <cstdlib>
#include <cstring>

#include "hwPaths.h"
#include "vxLog.h"
#include "vxText.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "main";
constexpr const char* kCntKeys[] = {"Cnt=", "cnt=", "Cnt:", "cnt:"};
constexpr const char* kFpcKeys[] = {"FPC=", "Fpc=", "FPC:", "Fpc:"};
constexpr char kStars[] = "******************************************";
constexpr int kFixedUsb = 2;
constexpr int kFixedLed = 3;
constexpr int kStandardRs232 = 5;
constexpr int kStandardAi = 4;

template <size_t N>
bool ContainsAny(const char* arg, const char* const (&keys)[N]) {
    for (const char* key : keys) {
        if (strstr(arg, key) != nullptr) return true;
    }
    return false;
}

void AppendArg(char* text, const char* arg) {
    size_t used = strlen(text);
    if (used >= kArgTextSize - 1) return;
    snprintf(text + used, kArgTextSize - used, " %s", arg);
}
}  // namespace

int ArgNumber(const char* arg) {
    const char* sep = strchr(arg, ':');
    if (sep == nullptr) sep = strchr(arg, '=');
    if (sep == nullptr) return 0;
    return static_cast<int>(strtol(sep + 1, nullptr, 0) & 0xFF);
}

void ParseRunArgs(int argc, char** argv, RunArgs& args) {
    for (int i = 1; i < argc; ++i) {
        AppendArg(args.szArgs, argv[i]);
        if (ContainsAny(argv[i], kCntKeys)) {
            int n = ArgNumber(argv[i]);
            args.nTestCnt = n < kMinTestCnt ? kMinTestCnt : (n > kMaxTestCnt ? kMaxTestCnt : n);
        }
        if (ContainsAny(argv[i], kFpcKeys)) args.testMode = ArgNumber(argv[i]);
    }
}

void FormatTimeStamp(time_t when, char* buf, size_t size) {
    struct tm local {};
    localtime_r(&when, &local);
    strftime(buf, size, hw::kTimeStampFmt, &local);
}

void WriteLogHeader(const RunIdentity& id) {
    RTLOG_FROM(kLogRoutine, "%s %s", id.program, id.argText);
    RTLOG_FROM(kLogRoutine, "%s", kStars);
    RTLOG_FROM(kLogRoutine, "hostname:%s", EscapeControls(id.host).c_str());
    RTLOG_FROM(kLogRoutine, "DateTime:%s", id.timeStamp);
    RTLOG_FROM(kLogRoutine, "Build:%s %s", __DATE__, __TIME__);
    RTLOG_FROM(kLogRoutine, "Version:%s", hw::kVersion);
    RTLOG_FROM(kLogRoutine, "TestMode:%d", id.testMode);
    RTLOG_FROM(kLogRoutine, "iMx6ull:%s", EscapeControls(id.chipId).c_str());
    RTLOG_FROM(kLogRoutine, "%s", kStars);
}

void FixCounts(_tag_VxPortInfo_& info, int testMode) {
    info.cntUSB = kFixedUsb;
    info.cntLED = kFixedLed;
    if (testMode == 0) {
        info.cntRS232 = kStandardRs232;
        info.cntAI = kStandardAi;
    }
}

void WriteCountLines(int nTestCnt, int iPortSelect, const _tag_VxPortInfo_& info) {
    RTLOG_FROM(kLogRoutine, "@:nTestCnt:%d", nTestCnt);
    RTLOG_FROM(kLogRoutine, "@:iPortSelect:%d", iPortSelect);
    RTLOG_FROM(kLogRoutine, "***Load Port Info:***");
    RTLOG_FROM(kLogRoutine, "@:RS485 Cnt:%d", info.cntRS485);
    RTLOG_FROM(kLogRoutine, "@:RS232 Cnt:%d", info.cntRS232);
    RTLOG_FROM(kLogRoutine, "@:DO Cnt:%d", info.cntDO);
    RTLOG_FROM(kLogRoutine, "@:DI Cnt:%d", info.cntDI);
    RTLOG_FROM(kLogRoutine, "@:AI Cnt:%d", info.cntAI);
    RTLOG_FROM(kLogRoutine, "@:cntUSB Cnt:%d", info.cntUSB);
    RTLOG_FROM(kLogRoutine, "@:cntLED Cnt:%d", info.cntLED);
}
