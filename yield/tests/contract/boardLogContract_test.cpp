// The log format's contract between the board and the yield tool: the board's own writers put
// a run in the log (header, counts, a cycle with every family's section, the tallies, the result
// document, the verdict) and the yield tool's parser reads back the same run.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "FakeDio.h"
#include "FakeSys.h"
#include "TempLog.h"
#include "adcInputs.h"
#include "archive.h"
#include "dioLoopback.h"
#include "hwPaths.h"
#include "ledBeeper.h"
#include "parse/logParser.h"
#include "portInfo.h"
#include "resultDoc.h"
#include "selectMask.h"
#include "startup.h"
#include "testCycle.h"
#include "traceLogFormat.h"
#include "usbTfMedia.h"
#include "vxLog.h"
#include "vxText.h"

namespace {
using namespace tracefmt;

constexpr char kHost[] = "bench-7";
constexpr char kStamp[] = "2026_03_04_05_06_07";
constexpr char kChip[] = "0x1A2B3C4D";
constexpr int kLevelOff = 0;
constexpr int kLevelOn = 1;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// One tally as "<family>-<n>[:<variant>] <passes>,<failures>", in the parser's names.
std::string TallyText(const std::string& family, int n, const std::string& variant, int s, int e) {
    return family + "-" + std::to_string(n) + (variant.empty() ? "" : ":" + variant) + " " +
           std::to_string(s) + "," + std::to_string(e);
}

// The tallies the board's summary writes, from its own counters.
std::vector<std::string> BoardTallies(const _tag_VxPortInfo_& info) {
    std::vector<std::string> out;
    auto add = [&](const char* family, const char* variant, const std::vector<_tag_TestSta_>& sta,
                   int count) {
        for (int i = 0; i < count; ++i)
            out.push_back(TallyText(family, i + 1, variant, sta[i].nSuccCnt, sta[i].nErrCnt));
    };
    add(kDocUsb, "", info.staUSB, info.cntUSB);
    add(kDocDo, "NO", info.staDO_NO, DoEntryCount(info));
    add(kDocDo, "NC", info.staDO_NC, DoEntryCount(info));
    add(kDocDi, "NO", info.staDI_NO, info.cntDI);
    add(kDocDi, "NC", info.staDI_NC, info.cntDI);
    add(kDocAdc, "", info.staAI, info.cntAI);
    for (int i = 0; i < info.cntLED; ++i) {
        out.push_back(TallyText(kDocLed, kLeds[i].output - kFirstLedOutput + 1, "",
                                info.staLED[i].nSuccCnt, info.staLED[i].nErrCnt));
    }
    return out;
}

// The ports the board's document lists as failed.
std::vector<std::string> BoardFailures(const std::string& doc) {
    std::vector<std::string> out;
    const nlohmann::json parsed = nlohmann::json::parse(doc);
    for (const auto& sec : parsed[kDocSections]) {
        int n = 0;
        for (const auto& entry : sec[kDocEntries]) {
            ++n;
            if (entry[kDocPassed] != kDocPassedValue)
                out.push_back(sec[kDocFamily].get<std::string>() + "-" + std::to_string(n));
        }
    }
    return out;
}

class BoardLogContract : public ::testing::Test {
protected:
    void SetUp() override {
        info.cntDO = 2;
        info.cntDI = 6;
        info.cntAI = 2;
        info.cntUSB = 2;
        info.cntLED = kLedCount;
        sys.SetOutput(hw::kCmdUsbFirst, "/run/media/sda1\n");  // the second stick is missing
        sys.SetOutput(StrPrintf(kAdcReadFmt, AdcChannelOf(1)), "2048\n");  // 1.65 V: passes
        sys.SetOutput(StrPrintf(kAdcReadFmt, AdcChannelOf(2)), "4000\n");  // 3.22 V: fails
        dev.Wire(1, 1);     // DO1 -> DI1; DO2's input DI2 is left open and reads 0
        dev.Wire(4, 0x81);  // SDO1 -> DI4
        dev.Wire(3, 0x82);  // SDO2 -> DI3
    }

    // One cycle, every family's section written by its own routine.
    void WriteCycle() {
        WriteCycleMark(1);
        WriteSectionMark(kSectionUsb, 1);
        USBTFTest(info.cntUSB, info.vecUSB);
        LogTestDat(info.cntUSB, info.vecUSB, info.staUSB);
        WriteSectionMark(kSectionDio, 1);
        DIOTestOn(dev.Path().c_str(), info.cntDO, info.cntDI, kLevelOff, info.vecDO, info.vecDI);
        LogTestDat(DoEntryCount(info), info.vecDO, info.staDO_NO);
        LogTestDat(info.cntDI, info.vecDI, info.staDI_NO);
        DIOTestOn(dev.Path().c_str(), info.cntDO, info.cntDI, kLevelOn, info.vecDO, info.vecDI);
        LogTestDat(DoEntryCount(info), info.vecDO, info.staDO_NC);
        LogTestDat(info.cntDI, info.vecDI, info.staDI_NC);
        WriteSectionMark(kSectionAdc, 1);
        ADCTest(info.cntAI, info.vecAI);
        LogTestDat(info.cntAI, info.vecAI, info.staAI);
        WriteSectionMark(kSectionLed, 1);
        LEDTestOn(dev.Path().c_str(), info.cntLED, info.vecLED);
        LogTestDat(info.cntLED, info.vecLED, info.staLED);
    }

    // The whole run as the board logs it; returns the verdict code it wrote.
    int WriteRun() {
        WriteLogHeader({"./devuzeV7", " Cnt=1", kHost, kStamp, 1, kChip});
        WriteCountLines(1, kSelectDio, info);
        // RunTestCycles writes this mark before its first cycle.
        RTLOG_FMT_FROM("main", "%s", kCyclesStart);
        SetUpPortEntries(info);
        WriteCycle();
        WriteSummaryLines(kSelectDio, info);
        std::string doc = FormatDocHeader(kHost, kStamp);
        int verdict = AppendDocSections(doc, kSelectDio, info);
        std::vector<char> buffer(doc.begin(), doc.end());
        buffer.resize(doc.size() + 3);
        const std::string docPath = log.Path() + ".js";
        EXPECT_EQ(0, RecordhwTestTo(docPath.c_str(), buffer.data(), static_cast<int>(doc.size())));
        document = ReadFile(docPath);
        std::remove(docPath.c_str());
        WriteVerdictLines(verdict);
        return verdict;
    }

    static constexpr char kLogModule[] = "devuzeV7";
    TempLog log;
    FakeSys sys;
    FakeDio dev;
    _tag_VxPortInfo_ info;
    std::string document;
};

TEST_F(BoardLogContract, ParserReadsBackTheRunTheBoardWrote) {
    const int verdict = WriteRun();
    yield::ParseResult r = yield::ParseLog(log.Text());
    ASSERT_EQ(r.kind, yield::ParseResult::Kind::Run) << r.reason;
    const yield::RunRecord& run = r.run;
    EXPECT_EQ(run.host, kHost);
    EXPECT_EQ(run.timeStamp, kStamp);
    EXPECT_EQ(run.chipId, kChip);
    EXPECT_EQ(run.version, hw::kVersion);
    EXPECT_EQ(run.testMode, 1);
    EXPECT_EQ(run.args, "Cnt=1");
    EXPECT_EQ(run.cyclesAsked, 1);
    EXPECT_EQ(run.cyclesRun, 1);
    EXPECT_EQ(run.portSelect, kSelectDio);
    EXPECT_EQ(run.counts.at(kDocDi), info.cntDI);
    EXPECT_EQ(run.counts.at(kDocUsb), info.cntUSB);
    EXPECT_EQ(run.counts.at(kDocLed), info.cntLED);

    std::vector<std::string> tallies;
    for (const yield::PortTally& t : run.tallies)
        tallies.push_back(TallyText(t.family, t.number, t.variant, t.succ, t.err));
    EXPECT_EQ(tallies, BoardTallies(info));

    EXPECT_EQ(run.resultDoc, document);
    EXPECT_EQ(run.FailingPorts(), BoardFailures(document));
    // DO2's input is open: the output itself reads back, its input fails; DI5 and DI6 have no
    // output to be read against.
    EXPECT_EQ(run.FailingPorts(),
              (std::vector<std::string>{"DI-2", "DI-5", "DI-6", "USB-2", "ADC-2"}));
    EXPECT_EQ(verdict, -1);
    EXPECT_EQ(run.verdict, yield::Verdict::Err);
    EXPECT_TRUE(run.hasVerdictCode);
    EXPECT_EQ(run.verdictCode, verdict);
}

TEST_F(BoardLogContract, EveryFailingPortHasALineThatExplainsIt) {
    WriteRun();
    yield::RunRecord run = yield::ParseLog(log.Text()).run;
    for (const char* port : {"USB", "DI-2", "ADC-2"}) {
        bool explained = false;
        for (const yield::FailureLine& f : run.failures) explained = explained || f.port == port;
        EXPECT_TRUE(explained) << port << " in " << ::testing::PrintToString(run.FailingPorts());
    }
}

}  // namespace
