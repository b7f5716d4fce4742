#include "testCycle.h"

#include <cstdio>

#include "adcInputs.h"
#include "dioLoopback.h"
#include "indications.h"
#include "ledBeeper.h"
#include "rs232Loopback.h"
#include "selectMask.h"
#include "traceLogFormat.h"
#include "usbTfMedia.h"
#include "vxLog.h"
#include "vxSys.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "main";
constexpr unsigned kBeforeCyclesUs = 200000;
constexpr unsigned kAfterTimerUs = 50000;
constexpr unsigned kAfterCycleUs = 100000;
constexpr int kLevelOff = 0;
constexpr int kLevelOn = 1;

void RunDioPass(int iLevel, _tag_VxPortInfo_& info, std::vector<_tag_TestSta_>& staDo,
                std::vector<_tag_TestSta_>& staDi) {
    DIOTest(info.cntDO, info.cntDI, iLevel, info.vecDO, info.vecDI);
    LogTestDat(DoEntryCount(info), info.vecDO, staDo);
    LogTestDat(info.cntDI, info.vecDI, staDi);
    putchar('\n');
}

void RunOneCycle(int nCycle, int iPortSelect, _tag_VxPortInfo_& info) {
    using namespace tracefmt;
    WriteCycleMark(nCycle);
    WriteSectionMark(kSectionUsb, nCycle);
    USBTFTest(info.cntUSB, info.vecUSB);
    LogTestDat(info.cntUSB, info.vecUSB, info.staUSB);
    if (iPortSelect & kSelectDio) {
        WriteSectionMark(kSectionDio, nCycle);
        RunDioPass(kLevelOff, info, info.staDO_NO, info.staDI_NO);
        RunDioPass(kLevelOn, info, info.staDO_NC, info.staDI_NC);
    }
    if (iPortSelect & kSelectRs232) {
        WriteSectionMark(kSectionRs232, nCycle);
        RS232Test(info.cntRS232, info.vecRS232);
        LogTestDat(info.cntRS232, info.vecRS232, info.staRS232);
        putchar('\n');
    }
    WriteSectionMark(kSectionAdc, nCycle);
    ADCTest(info.cntAI, info.vecAI);
    LogTestDat(info.cntAI, info.vecAI, info.staAI);
    putchar('\n');
    endTimer();
    Sys().Usleep(kAfterTimerUs);
    WriteSectionMark(kSectionLed, nCycle);
    LEDTest(info.cntLED, info.vecLED);
    LogTestDat(info.cntLED, info.vecLED, info.staLED);
    putchar('\n');
    Sys().Usleep(kAfterCycleUs);
}

// "<family>-<n><variant>Test Succ Cnt %d,Error Cnt %d", ports numbered from 1.
void WriteTallies(const char* family, const char* variant, const std::vector<_tag_TestSta_>& sta,
                  int count) {
    for (int i = 0; i < count; ++i) {
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kTallyFmt, family, i + 1, variant, sta[i].nSuccCnt,
                       sta[i].nErrCnt);
    }
}

// One line per LED entry, in test order, each under its name and summary number.
void WriteLedTallies(const _tag_VxPortInfo_& info) {
    for (int i = 0; i < info.cntLED && i < tracefmt::kLedCount; ++i) {
        const tracefmt::Led& led = tracefmt::kLeds[i];
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kLedTallyFmt, led.summaryNumber, led.name,
                       info.staLED[i].nSuccCnt, info.staLED[i].nErrCnt);
    }
}
}  // namespace

void WriteCycleMark(int nCycle) { RTLOG_FMT_FROM(kLogRoutine, tracefmt::kCycleFmt, nCycle); }

void WriteSectionMark(const char* section, int nCycle) {
    RTLOG_FMT_FROM(kLogRoutine, tracefmt::kSectionFmt, section, nCycle);
}

void WriteVerdictLines(int iTestSta) {
    RTLOG_FMT_FROM(kLogRoutine, tracefmt::kVerdictCodeFmt, iTestSta);
    RTLOG_FROM(kLogRoutine, "%s", iTestSta != 0 ? tracefmt::kVerdictErr : tracefmt::kVerdictOk);
}

void RunTestCycles(int nTestCnt, int iPortSelect, _tag_VxPortInfo_& info) {
    SetUpPortEntries(info);
    RTLOG_FROM(kLogRoutine, "%s", tracefmt::kCyclesStart);
    Sys().Usleep(kBeforeCyclesUs);
    int nCycle = 0;
    do {
        ++nCycle;
        RunOneCycle(nCycle, iPortSelect, info);
    } while (nCycle < nTestCnt);
    RTLOG_FROM(kLogRoutine, "%s", tracefmt::kStars);
}

void WriteSummaryLines(int iPortSelect, const _tag_VxPortInfo_& info) {
    using namespace tracefmt;
    if (iPortSelect & kSelectRs485) {
        WriteTallies(kTallyRs485, kTallyPlain, info.staRS485, info.cntRS485);
        putchar('\n');
    }
    WriteTallies(kTallyUsb, kTallyPlain, info.staUSB, info.cntUSB);
    putchar('\n');
    if (iPortSelect & kSelectRs232) {
        WriteTallies(kTallyRs232, kTallyPlain, info.staRS232, info.cntRS232);
        putchar('\n');
    }
    if (iPortSelect & kSelectDio) {
        WriteTallies(kTallyDo, kTallyOff, info.staDO_NO, DoEntryCount(info));
        WriteTallies(kTallyDo, kTallyOn, info.staDO_NC, DoEntryCount(info));
        putchar('\n');
        WriteTallies(kTallyDi, kTallyOff, info.staDI_NO, info.cntDI);
        WriteTallies(kTallyDi, kTallyOn, info.staDI_NC, info.cntDI);
        putchar('\n');
    }
    WriteTallies(kTallyAi, kTallyPlain, info.staAI, info.cntAI);
    putchar('\n');
    WriteLedTallies(info);
    putchar('\n');
    RTLOG_FROM(kLogRoutine, "%s", kStars);
}
