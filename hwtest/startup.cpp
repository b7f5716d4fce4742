#include "startup.h"

#include <cstdlib>
#include <cstring>

#include "hwPaths.h"
#include "vxLog.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
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
    RTLOG("%s %s", id.program, id.argText);
    RTLOG("%s", kStars);
    RTLOG("hostname:%s", id.host);
    RTLOG("DateTime:%s", id.timeStamp);
    RTLOG("Build:%s %s", __DATE__, __TIME__);
    RTLOG("Version:%s", hw::kVersion);
    RTLOG("TestMode:%d", id.testMode);
    RTLOG("iMx6ull:%s", id.chipId);
    RTLOG("%s", kStars);
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
    RTLOG("@:nTestCnt:%d", nTestCnt);
    RTLOG("@:iPortSelect:%d", iPortSelect);
    RTLOG("***Load Port Info:***");
    RTLOG("@:RS485 Cnt:%d", info.cntRS485);
    RTLOG("@:RS232 Cnt:%d", info.cntRS232);
    RTLOG("@:DO Cnt:%d", info.cntDO);
    RTLOG("@:DI Cnt:%d", info.cntDI);
    RTLOG("@:AI Cnt:%d", info.cntAI);
    RTLOG("@:cntUSB Cnt:%d", info.cntUSB);
    RTLOG("@:cntLED Cnt:%d", info.cntLED);
}
