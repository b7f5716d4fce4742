#include "startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TempLog.h"

namespace {
RunArgs Parse(std::vector<std::string> words, int iniMode = 0) {
    std::vector<char*> argv;
    std::string program = "./devuzeV7";
    argv.push_back(program.data());
    for (auto& w : words) argv.push_back(w.data());
    RunArgs args;
    args.testMode = iniMode;
    ParseRunArgs(static_cast<int>(argv.size()), argv.data(), args);
    return args;
}

int Cycles(const std::string& arg) { return Parse({arg}).nTestCnt; }
}  // namespace

TEST(RunArgs, CycleCountIsClampedAfterCuttingToEightBits) {
    EXPECT_EQ(1, Parse({}).nTestCnt);
    EXPECT_EQ(1, Cycles("Cnt=0"));
    EXPECT_EQ(5, Cycles("Cnt=-3"));   // 253
    EXPECT_EQ(5, Cycles("Cnt=300"));  // 44
    EXPECT_EQ(3, Cycles("Cnt=0x3"));
    EXPECT_EQ(3, Cycles("cnt:3"));
    EXPECT_EQ(1, Cycles("Cnt=abc"));
    EXPECT_EQ(4, Cycles("Cnt=2:4"));
    EXPECT_EQ(2, Cycles("xCnt=2"));
    EXPECT_EQ(1, Cycles("CNT=3"));
    EXPECT_EQ(5, Cycles("Cnt=010"));  // octal 8
    EXPECT_EQ(1, Cycles("Cnt=256"));
}

TEST(RunArgs, LastMatchingArgumentWins) {
    EXPECT_EQ(4, Parse({"Cnt=2", "Cnt=4"}).nTestCnt);
    EXPECT_EQ(2, Parse({"Cnt=4", "other", "cnt=2"}).nTestCnt);
}

TEST(RunArgs, TestModeFromFpcOverridesIni) {
    EXPECT_EQ(1, Parse({}, 1).testMode);
    EXPECT_EQ(1, Parse({"FPC=1"}, 0).testMode);
    EXPECT_EQ(0, Parse({"FPC=256"}, 1).testMode);
    EXPECT_EQ(7, Parse({"Fpc:7"}).testMode);
    EXPECT_EQ(0, Parse({"fpc=1"}).testMode);
}

TEST(RunArgs, OneArgumentMatchingBothRulesSetsBoth) {
    RunArgs args = Parse({"Cnt=FPC=3"});
    EXPECT_EQ(1, args.nTestCnt);  // the text after the first "=" is "FPC=3": no digits
    EXPECT_EQ(0, args.testMode);
    RunArgs both = Parse({"Cnt:3FPC="});
    EXPECT_EQ(3, both.nTestCnt);
    EXPECT_EQ(3, both.testMode);
}

TEST(RunArgs, ArgumentTextHasLeadingBlanksAndIsCutAt255) {
    EXPECT_EQ(" Cnt=2 FPC=1", std::string(Parse({"Cnt=2", "FPC=1"}).szArgs));
    std::string longArg(300, 'x');
    RunArgs args = Parse({longArg, "Cnt=3"});
    EXPECT_EQ(255u, std::string(args.szArgs).size());
    EXPECT_EQ(3, args.nTestCnt);  // still parsed from an argument past the cut
}

TEST(StartupCounts, TestModeZeroFixesRs232AndAi) {
    _tag_VxPortInfo_ info;
    info.cntRS232 = 8;
    info.cntAI = 7;
    FixCounts(info, 0);
    EXPECT_EQ(5, info.cntRS232);
    EXPECT_EQ(4, info.cntAI);
    EXPECT_EQ(2, info.cntUSB);
    EXPECT_EQ(3, info.cntLED);
    _tag_VxPortInfo_ kept;
    kept.cntRS232 = 8;
    kept.cntAI = 7;
    FixCounts(kept, 1);
    EXPECT_EQ(8, kept.cntRS232);
    EXPECT_EQ(7, kept.cntAI);
    EXPECT_EQ(2, kept.cntUSB);
}

TEST(StartupLog, HeaderAndCountLinesInOrder) {
    TempLog log;
    WriteLogHeader({"./devuzeV7", " Cnt=2", "bench1", "2021_11_05_11_51_23", 0, "ID42"});
    _tag_VxPortInfo_ info;
    info.cntRS485 = 3;
    info.cntRS232 = 5;
    info.cntDI = 6;
    info.cntDO = 4;
    info.cntAI = 4;
    info.cntUSB = 2;
    info.cntLED = 3;
    WriteCountLines(2, 7, info);
    std::vector<std::string> want = {"./devuzeV7  Cnt=2",
                                     "******************************************",
                                     "hostname:bench1",
                                     "DateTime:2021_11_05_11_51_23",
                                     std::string("Build:") + __DATE__ + " " + __TIME__,
                                     "Version:1.0.0.1",
                                     "TestMode:0",
                                     "iMx6ull:ID42",
                                     "******************************************",
                                     "@:nTestCnt:2",
                                     "@:iPortSelect:7",
                                     "***Load Port Info:***",
                                     "@:RS485 Cnt:3",
                                     "@:RS232 Cnt:5",
                                     "@:DO Cnt:4",
                                     "@:DI Cnt:6",
                                     "@:AI Cnt:4",
                                     "@:cntUSB Cnt:2",
                                     "@:cntLED Cnt:3"};
    auto got = log.Messages();
    // The build stamp is the library's, which may differ from this file's by seconds.
    ASSERT_EQ(want.size(), got.size());
    EXPECT_EQ(0u, got[4].find("Build:"));
    got[4] = want[4];
    EXPECT_EQ(want, got);
}

TEST(StartupLog, ControlCharactersOfHostAndIdCannotForgeLines) {
    TempLog log;
    WriteLogHeader({"./devuzeV7", "", "bench1\n5=[RtLog] Test Q7 OK!!!\t\xFF", "t", 0, "ID\r\n42"});
    auto got = log.Messages();
    ASSERT_EQ(9u, got.size());
    EXPECT_EQ("hostname:bench1\\n5=[RtLog] Test Q7 OK!!!\\t\xFF", got[2]);
    EXPECT_EQ("iMx6ull:ID\\r\\n42", got[7]);
    std::string text = log.Text();
    EXPECT_EQ(9, std::count(text.begin(), text.end(), '\n'));
}

TEST(StartupLog, TimeStampFormat) {
    char buf[256] = {};
    struct tm t {};
    t.tm_year = 121;
    t.tm_mon = 10;
    t.tm_mday = 5;
    t.tm_hour = 9;
    t.tm_min = 3;
    t.tm_sec = 7;
    t.tm_isdst = -1;
    FormatTimeStamp(mktime(&t), buf, sizeof buf);
    EXPECT_STREQ("2021_11_05_09_03_07", buf);
}
