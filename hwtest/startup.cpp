#include "startup.h"

#include <cstdlib>
#include <cstring>

#include "hwPaths.h"
#include "traceLogFormat.h"
#include "vxLog.h"
#include "vxText.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "main";
constexpr const char* kCntKeys[] = {"Cnt=", "cnt=", "Cnt:", "cnt:"};
constexpr const char* kFpcKeys[] = {"FPC=", "Fpc=", "FPC:", "Fpc:"};
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
    strftime(buf, size, tracefmt::kTimeStampFmt, &local);
}

void WriteLogHeader(const RunIdentity& id) {
    using namespace tracefmt;
    RTLOG_FMT_FROM(kLogRoutine, kArgsFmt, id.program, id.argText);
    RTLOG_FROM(kLogRoutine, "%s", kStars);
    RTLOG_FMT_FROM(kLogRoutine, kHostFmt, EscapeControls(id.host).c_str());
    RTLOG_FMT_FROM(kLogRoutine, kDateTimeFmt, id.timeStamp);
    RTLOG_FMT_FROM(kLogRoutine, kBuildFmt, __DATE__, __TIME__);
    RTLOG_FMT_FROM(kLogRoutine, kVersionFmt, hw::kVersion);
    RTLOG_FMT_FROM(kLogRoutine, kTestModeFmt, id.testMode);
    RTLOG_FMT_FROM(kLogRoutine, kChipIdFmt, EscapeControls(id.chipId).c_str());
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
    using namespace tracefmt;
    RTLOG_FMT_FROM(kLogRoutine, kTestCntFmt, nTestCnt);
    RTLOG_FMT_FROM(kLogRoutine, kPortSelectFmt, iPortSelect);
    RTLOG_FROM(kLogRoutine, "%s", kLoadPortInfo);
    RTLOG_FMT_FROM(kLogRoutine, kCountFmt, kCountRs485, info.cntRS485);
    RTLOG_FMT_FROM(kLogRoutine, kCountFmt, kCountRs232, info.cntRS232);
    RTLOG_FMT_FROM(kLogRoutine, kCountFmt, kCountDo, info.cntDO);
    RTLOG_FMT_FROM(kLogRoutine, kCountFmt, kCountDi, info.cntDI);
    RTLOG_FMT_FROM(kLogRoutine, kCountFmt, kCountAi, info.cntAI);
    RTLOG_FMT_FROM(kLogRoutine, kCountFmt, kCountUsb, info.cntUSB);
    RTLOG_FMT_FROM(kLogRoutine, kCountFmt, kCountLed, info.cntLED);
}
