#include "testCycle.h"

#include <cstdio>

#include "adcInputs.h"
#include "dioLoopback.h"
#include "indications.h"
#include "ledBeeper.h"
#include "rs232Loopback.h"
#include "selectMask.h"
#include "usbTfMedia.h"
#include "vxLog.h"
#include "vxSys.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "main";
constexpr char kStars[] = "******************************************";
constexpr unsigned kBeforeCyclesUs = 200000;
constexpr unsigned kAfterTimerUs = 50000;
constexpr unsigned kAfterCycleUs = 100000;
constexpr int kLevelOff = 0;
constexpr int kLevelOn = 1;
constexpr char kPlain[] = ":";
constexpr char kOff[] = ":NO ";
constexpr char kOn[] = ":NC ";

void RunDioPass(int iLevel, _tag_VxPortInfo_& info, std::vector<_tag_TestSta_>& staDo,
                std::vector<_tag_TestSta_>& staDi) {
    DIOTest(info.cntDO, info.cntDI, iLevel, info.vecDO, info.vecDI);
    LogTestDat(info.cntDO + 2, info.vecDO, staDo);
    LogTestDat(info.cntDI, info.vecDI, staDi);
    putchar('\n');
}

void RunOneCycle(int nCycle, int iPortSelect, _tag_VxPortInfo_& info) {
    RTLOG_FROM(kLogRoutine, "-----Try Test %d-----", nCycle);
    RTLOG_FROM(kLogRoutine, "****Try Test USB %d*****", nCycle);
    USBTFTest(info.cntUSB, info.vecUSB);
    LogTestDat(info.cntUSB, info.vecUSB, info.staUSB);
    if (iPortSelect & kSelectDio) {
        RTLOG_FROM(kLogRoutine, "****Try Test DIO %d*****", nCycle);
        RunDioPass(kLevelOff, info, info.staDO_NO, info.staDI_NO);
        RunDioPass(kLevelOn, info, info.staDO_NC, info.staDI_NC);
    }
    if (iPortSelect & kSelectRs232) {
        RTLOG_FROM(kLogRoutine, "****Try Test RS232 %d*****", nCycle);
        RS232Test(info.cntRS232, info.vecRS232);
        LogTestDat(info.cntRS232, info.vecRS232, info.staRS232);
        putchar('\n');
    }
    RTLOG_FROM(kLogRoutine, "****Try Test ADC %d*****", nCycle);
    ADCTest(info.cntAI, info.vecAI);
    LogTestDat(info.cntAI, info.vecAI, info.staAI);
    putchar('\n');
    endTimer();
    Sys().Usleep(kAfterTimerUs);
    RTLOG_FROM(kLogRoutine, "****Try Test SDO %d*****", nCycle);
    LEDTest(info.cntLED, info.vecLED);
    LogTestDat(info.cntLED, info.vecLED, info.staLED);
    putchar('\n');
    Sys().Usleep(kAfterCycleUs);
}

// "<family>-<n><variant>Test Succ Cnt %d,Error Cnt %d", ports numbered from 1.
void WriteTallies(const char* family, const char* variant, const std::vector<_tag_TestSta_>& sta,
                  int count) {
    for (int i = 0; i < count; ++i) {
        RTLOG_FROM(kLogRoutine, "%s-%d%sTest Succ Cnt %d,Error Cnt %d", family, i + 1, variant,
                   sta[i].nSuccCnt, sta[i].nErrCnt);
    }
}

void WriteLedTallies(const _tag_VxPortInfo_& info) {
    for (int i = 0; i < info.cntLED && i < 3; ++i) {
        const _tag_TestSta_& sta = info.staLED[i];
        if (i == 0)
            RTLOG_FROM(kLogRoutine, "Led-%d[Beep]:Test Succ Cnt %d,Error Cnt %d", 0, sta.nSuccCnt,
                       sta.nErrCnt);
        if (i == 1)
            RTLOG_FROM(kLogRoutine, "Led-%d[D3]:Test Succ Cnt %d,Error Cnt %d", 2, sta.nSuccCnt,
                       sta.nErrCnt);
        if (i == 2)
            RTLOG_FROM(kLogRoutine, "Led-%d[D2]:Test Succ Cnt %d,Error Cnt %d", 1, sta.nSuccCnt,
                       sta.nErrCnt);
    }
}
}  // namespace

void RunTestCycles(int nTestCnt, int iPortSelect, _tag_VxPortInfo_& info) {
    SetUpPortEntries(info);
    RTLOG_FROM(kLogRoutine, "***************** test *******************");
    Sys().Usleep(kBeforeCyclesUs);
    int nCycle = 0;
    do {
        ++nCycle;
        RunOneCycle(nCycle, iPortSelect, info);
    } while (nCycle < nTestCnt);
    RTLOG_FROM(kLogRoutine, "%s", kStars);
}

void WriteSummaryLines(int iPortSelect, const _tag_VxPortInfo_& info) {
    if (iPortSelect & kSelectRs485) {
        WriteTallies("RS485", kPlain, info.staRS485, info.cntRS485);
        putchar('\n');
    }
    WriteTallies("USB", kPlain, info.staUSB, info.cntUSB);
    putchar('\n');
    if (iPortSelect & kSelectRs232) {
        WriteTallies("RS232", kPlain, info.staRS232, info.cntRS232);
        putchar('\n');
    }
    if (iPortSelect & kSelectDio) {
        WriteTallies("DO", kOff, info.staDO_NO, info.cntDO + 2);
        WriteTallies("DO", kOn, info.staDO_NC, info.cntDO + 2);
        putchar('\n');
        WriteTallies("DI", kOff, info.staDI_NO, info.cntDI);
        WriteTallies("DI", kOn, info.staDI_NC, info.cntDI);
        putchar('\n');
    }
    WriteTallies("AI", kPlain, info.staAI, info.cntAI);
    putchar('\n');
    WriteLedTallies(info);
    putchar('\n');
    RTLOG_FROM(kLogRoutine, "%s", kStars);
}
