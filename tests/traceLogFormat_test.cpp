// The log format's contract: lines the tool's own writers put in the log are read back by a
// small reader that knows the format only through traceLogFormat.h, as the host tools do.
#include "traceLogFormat.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "FakeDio.h"
#include "FakeSys.h"
#include "TempLog.h"
#include "archive.h"
#include "dioLoopback.h"
#include "hwPaths.h"
#include "selectMask.h"
#include "startup.h"
#include "testCycle.h"

namespace {
using namespace tracefmt;

struct Record {
    long seq = -1;
    std::string tag;
    std::string message;  // without the caller tail
};

// The time field ends at `close` (its "]"); true when it has the shape, digits and all.
bool TimeFieldAt(const std::string& line, size_t close) {
    const size_t shapeLen = Length(kTimeFieldShape);
    if (close + 2 < shapeLen || close + 2 > line.size()) return false;
    const size_t from = close + 2 - shapeLen;
    for (size_t i = 0; i < shapeLen; ++i) {
        const char want = kTimeFieldShape[i];
        const char got = line[from + i];
        if (want == '0' ? !isdigit(static_cast<unsigned char>(got)) : got != want) return false;
    }
    return true;
}

// One record a line of the file starts, or none (seq -1).
Record ReadRecord(const std::string& line) {
    Record rec;
    long seq = 0;
    char tag[kMaxTagLength + 1] = {0};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = -1;
    if (std::sscanf(line.c_str(), kRecordPrefixScan, &seq, tag, &year, &month, &day, &hour, &minute,
                    &second, &used) != 8 ||
        used < 1 || !TimeFieldAt(line, static_cast<size_t>(used) - 1)) {
        return rec;
    }
    std::string message = line.substr(static_cast<size_t>(used) + 1);
    size_t tab = message.rfind('\t');
    if (tab != std::string::npos && message.find(kCallerTailLine, tab) != std::string::npos)
        message.resize(tab);
    rec.seq = seq;
    rec.tag = tag;
    rec.message = message;
    return rec;
}

std::vector<Record> ReadRecords(const std::string& text) {
    std::vector<Record> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        Record rec = ReadRecord(line);
        if (rec.seq == static_cast<long>(out.size())) {
            out.push_back(rec);
        } else if (!out.empty()) {
            out.back().message += "\n" + line;  // a line feed inside a message
        }
    }
    return out;
}

std::vector<std::string> Messages(const TempLog& log) {
    std::vector<std::string> out;
    for (const Record& rec : ReadRecords(log.Text())) out.push_back(rec.message);
    return out;
}

// The value after `key` in the first message that starts with it, or "<none>".
std::string ValueOf(const std::vector<std::string>& messages, const char* key) {
    for (const std::string& m : messages) {
        if (m.rfind(key, 0) == 0) return m.substr(Length(key));
    }
    return "<none>";
}

// Whether a scan filled `wanted` targets and its "%n" took the whole text. `used` is taken by
// reference so that it is read after the scan that sets it.
bool Whole(int filled, int wanted, const int& used, const std::string& text) {
    return filled == wanted && used == static_cast<int>(text.size());
}

struct Tally {
    std::string port;  // "<family>-<n>", "<family>-<n>:NO" / ":NC", or the LED's name
    int succ = 0;
    int err = 0;
};

// Every tally line, by the three scan formats.
std::vector<Tally> ReadTallies(const std::vector<std::string>& messages) {
    std::vector<Tally> out;
    for (const std::string& m : messages) {
        char family[16] = {0};
        char variant[3] = {0};
        int n = 0, s = 0, e = 0, used = -1;
        const char* text = m.c_str();
        if (Whole(std::sscanf(text, kTallyVariantScan, family, &n, variant, &s, &e, &used), 5, used,
                  m)) {
            out.push_back({std::string(family) + "-" + std::to_string(n) + ":" + variant, s, e});
        } else if (Whole(std::sscanf(text, kTallyScan, family, &n, &s, &e, &used), 4, used, m)) {
            out.push_back({std::string(family) + "-" + std::to_string(n), s, e});
        } else if (Whole(std::sscanf(text, kLedTallyScan, &n, family, &s, &e, &used), 4, used, m)) {
            out.push_back({family, s, e});
        }
    }
    return out;
}

TEST(TraceLogFormat, HeaderValuesAndRecordsReadBack) {
    TempLog log;
    WriteLogHeader({"./devuzeV7", " Cnt=2", "bench\n1", "2021_11_05_11_51_23", 1, "0x1A2B3C4D"});
    std::vector<Record> recs = ReadRecords(log.Text());
    ASSERT_EQ(9u, recs.size());
    for (const Record& rec : recs) EXPECT_EQ(kTag, rec.tag);
    std::vector<std::string> m;
    for (const Record& rec : recs) m.push_back(rec.message);
    EXPECT_EQ("./devuzeV7  Cnt=2", m[0]);
    EXPECT_EQ(kStars, m[1]);
    EXPECT_EQ(kStars, m[8]);
    EXPECT_EQ("bench\\n1", ValueOf(m, kHostKey));  // escaped: one record, not two
    EXPECT_EQ("2021_11_05_11_51_23", ValueOf(m, kDateTimeKey));
    EXPECT_EQ(kTimeStampLength, ValueOf(m, kDateTimeKey).size());
    EXPECT_EQ("0x1A2B3C4D", ValueOf(m, kChipIdKey));
    EXPECT_EQ(hw::kVersion, ValueOf(m, kVersionKey));
    int mode = -1, used = -1;
    const std::string modeLine = std::string(kTestModeKey) + ValueOf(m, kTestModeKey);
    EXPECT_TRUE(
        Whole(std::sscanf(modeLine.c_str(), kTestModeScan, &mode, &used), 1, used, modeLine));
    EXPECT_EQ(1, mode);
}

TEST(TraceLogFormat, CountLinesReadBackByName) {
    TempLog log;
    _tag_VxPortInfo_ info;
    info.cntRS485 = 1;
    info.cntRS232 = 5;
    info.cntDO = 4;
    info.cntDI = 6;
    info.cntAI = 7;
    info.cntUSB = 2;
    info.cntLED = 3;
    WriteCountLines(3, kSelectAll, info);
    int cycles = 0, select = 0;
    std::map<std::string, int> counts;
    for (const std::string& m : Messages(log)) {
        char name[16] = {0};
        int n = 0, used = -1;
        if (Whole(std::sscanf(m.c_str(), kTestCntScan, &n, &used), 1, used, m)) {
            cycles = n;
        } else if (Whole(std::sscanf(m.c_str(), kPortSelectScan, &n, &used), 1, used, m)) {
            select = n;
        } else if (Whole(std::sscanf(m.c_str(), kCountScan, name, &n, &used), 2, used, m)) {
            counts[name] = n;
        }
    }
    EXPECT_EQ(3, cycles);
    EXPECT_EQ(kSelectAll, select);
    EXPECT_EQ((std::map<std::string, int>{{kCountRs485, 1},
                                          {kCountRs232, 5},
                                          {kCountDo, 4},
                                          {kCountDi, 6},
                                          {kCountAi, 7},
                                          {kCountUsb, 2},
                                          {kCountLed, 3}}),
              counts);
}

TEST(TraceLogFormat, CycleAndSectionMarksAndVerdictReadBack) {
    TempLog log;
    WriteCycleMark(4);
    WriteSectionMark(kSectionDio, 4);
    WriteVerdictLines(-1);
    WriteVerdictLines(0);
    std::vector<std::string> m = Messages(log);
    ASSERT_EQ(6u, m.size());
    int n = 0, used = -1;
    char section[16] = {0};
    EXPECT_TRUE(Whole(std::sscanf(m[0].c_str(), kCycleScan, &n, &used), 1, used, m[0]));
    EXPECT_EQ(4, n);
    n = 0;
    EXPECT_TRUE(Whole(std::sscanf(m[1].c_str(), kSectionScan, section, &n, &used), 2, used, m[1]));
    EXPECT_STREQ(kSectionDio, section);
    EXPECT_EQ(4, n);
    EXPECT_TRUE(Whole(std::sscanf(m[2].c_str(), kVerdictCodeScan, &n, &used), 1, used, m[2]));
    EXPECT_EQ(-1, n);
    EXPECT_EQ(kVerdictErr, m[3]);
    EXPECT_TRUE(Whole(std::sscanf(m[4].c_str(), kVerdictCodeScan, &n, &used), 1, used, m[4]));
    EXPECT_EQ(0, n);
    EXPECT_EQ(kVerdictOk, m[5]);
}

TEST(TraceLogFormat, SummaryTalliesReadBackWithTheSystemOutputsAndLedNames) {
    TempLog log;
    _tag_VxPortInfo_ info;
    info.cntDO = 1;
    info.cntDI = 1;
    info.cntUSB = 2;
    info.cntAI = 1;
    info.cntLED = kLedCount;
    SetUpPortEntries(info);
    info.staUSB[1] = {5, 1};
    info.staDO_NC[1 + kSystemOutputs - 1] = {2, 3};  // SDO2, the last DO entry
    for (int i = 0; i < kLedCount; ++i) info.staLED[static_cast<size_t>(i)] = {10 + i, i};
    WriteSummaryLines(kSelectDio, info);
    std::map<std::string, std::pair<int, int>> got;
    for (const Tally& t : ReadTallies(Messages(log))) got[t.port] = {t.succ, t.err};
    const int doTallies = (1 + kSystemOutputs) * 2;
    EXPECT_EQ(static_cast<size_t>(2 + doTallies + 2 + 1 + kLedCount), got.size());
    EXPECT_EQ(std::make_pair(5, 1), got["USB-2"]);
    EXPECT_EQ(std::make_pair(2, 3), got["DO-3:NC"]);
    EXPECT_EQ(std::make_pair(0, 0), got["AI-1"]);
    // An LED is found by its name and is the entry of its place in kLeds.
    for (int i = 0; i < kLedCount; ++i) EXPECT_EQ(std::make_pair(10 + i, i), got[kLeds[i].name]);
}

TEST(TraceLogFormat, SystemOutputReadBackNamesTheInputItIsFiledUnder) {
    TempLog log;
    FakeDio dev;
    FakeSys sys;
    dev.Wire(1, 1);
    dev.Wire(4, 0x81);  // SDO1 -> DI4
    dev.Wire(3, 0x82);  // SDO2 -> DI3
    std::vector<_tag_PortData_> vDo(1 + kSystemOutputs), vDi(4);
    ASSERT_EQ(0, DIOTestOn(dev.Path().c_str(), 1, 4, 1, vDo, vDi));
    std::map<std::string, int> inputOf;
    for (const std::string& m : Messages(log)) {
        int k = 0, level = 0, d = 0, v = 0, used = -1;
        char word[8] = {0};
        if (Whole(std::sscanf(m.c_str(), kReadBackScanDo, &k, &level, &d, &v, word, &used), 5, used,
                  m)) {
            inputOf["DO" + std::to_string(k) + word] = d;
        } else if (Whole(std::sscanf(m.c_str(), kReadBackScanSdo, &k, &level, &d, &v, word, &used),
                         5, used, m)) {
            inputOf["SDO" + std::to_string(k) + word] = d;
        }
    }
    EXPECT_EQ((std::map<std::string, int>{{std::string("DO1") + kLineOk, 1},
                                          {std::string("SDO1") + kLineOk, 4},
                                          {std::string("SDO2") + kLineOk, 3}}),
              inputOf);
}

TEST(TraceLogFormat, ResultDocumentLineCarriesTheDocument) {
    TempLog log;
    const std::string path = log.Path() + ".js";
    char doc[] = "{\"logDate\":[ \0\0\0";
    const int len = static_cast<int>(std::strlen(doc));
    ASSERT_EQ(0, RecordhwTestTo(path.c_str(), doc, len));
    std::remove(path.c_str());
    std::vector<std::string> m = Messages(log);
    ASSERT_EQ(1u, m.size());
    const std::string& line = m[0];
    ASSERT_EQ(0u, line.rfind(kResultDocStart, 0));
    const size_t mark = line.find(kResultDocMark);
    ASSERT_NE(std::string::npos, mark);
    EXPECT_EQ(path, line.substr(Length(kResultDocStart), mark - Length(kResultDocStart)));
    const size_t from = mark + Length(kResultDocMark);
    ASSERT_GE(line.size(), from + Length(kResultDocEnd));
    EXPECT_EQ(kResultDocEnd, line.substr(line.size() - Length(kResultDocEnd)));
    EXPECT_EQ("{\"logDate\":[ ]}", line.substr(from, line.size() - Length(kResultDocEnd) - from));
}

TEST(TraceLogFormat, FormatsAreTiedToTheirKeys) {
    EXPECT_TRUE(StartsWith("hostname:x", kHostKey));
    EXPECT_FALSE(StartsWith("host", kHostKey));
    EXPECT_TRUE(EndsWith("a.log", kArchiveSuffix));
    EXPECT_FALSE(EndsWith("log", kArchiveSuffix));
    EXPECT_TRUE(SameText(kTag, "RtLog"));
    EXPECT_FALSE(SameText(kTag, "RtLo"));
}

}  // namespace
