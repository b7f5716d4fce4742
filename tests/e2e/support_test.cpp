// The e2e helper's log parser and expectation matching, without a bench run.
#include <gtest/gtest.h>

#include "bench_run.h"

namespace {

TEST(LogParser, SplitsPrefixMessageAndTail) {
    auto lines = e2e::ParseLog(
        "0=[RtLog][2021-11-05 11:51:23] @:nTestCnt:2\tdevuzeV7 WriteCountLines line=80\n"
        "1=[RtLog][2021-11-05 11:51:24] a\tb\tvxDioTest/vxDio init line=7\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].number, 0);
    EXPECT_EQ(lines[0].tag, "RtLog");
    EXPECT_EQ(lines[0].time, "2021-11-05 11:51:23");
    EXPECT_EQ(lines[0].message, "@:nTestCnt:2");
    EXPECT_EQ(lines[0].module, "devuzeV7");
    EXPECT_EQ(lines[0].function, "WriteCountLines");
    EXPECT_EQ(lines[0].sourceLine, 80);
    EXPECT_EQ(lines[1].message, "a\tb");
    EXPECT_EQ(lines[1].module, "vxDioTest/vxDio");
}

TEST(LogParser, JoinsAMessageThatHoldsALineFeed) {
    auto lines = e2e::ParseLog(
        "0=[RtLog][2021-11-05 11:51:23] cat x | tr -d '\n'...\tglobal Getimx6ullID line=23\n"
        "1=[RtLog][2021-11-05 11:51:23] next\tdevuzeV7 main line=1\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].message, "cat x | tr -d '\n'...");
    EXPECT_EQ(lines[1].number, 1);
}

TEST(LogParser, KeepsCarriageReturnsOfAReplyInTheMessage) {
    auto lines = e2e::ParseLog(
        "7=[RtLog][2021-11-05 11:51:23] /dev/RS232-5 read:OK\r\n\tdevuzeV7 THSensorTest line=9\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].message, "/dev/RS232-5 read:OK\r\n");
    EXPECT_EQ(lines[0].function, "THSensorTest");
}

TEST(LogParser, ReportsABrokenLayout) {
    std::string error;
    auto lines = e2e::ParseLog("0=[RtLog][2021-11-05 11:51:23] ok\tm f line=1\ngarbage\n", &error);
    EXPECT_EQ(lines.size(), 1u);
    EXPECT_NE(error.find("garbage"), std::string::npos);
    error.clear();
    e2e::ParseLog("0=[RtLog][2021-11-05 11:51:23] no tail\n", &error);
    EXPECT_NE(error.find("ends inside"), std::string::npos);
}

TEST(Expectations, SubstitutesValuesAndSkipsComments) {
    auto lines = e2e::ReadExpectations("startup_counts.txt", {{"CNT", "3"}, {"RS485", "0"}});
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "@:nTestCnt:3");
    EXPECT_EQ(lines[3], "@:RS485 Cnt:0");
    for (const auto& line : lines) EXPECT_NE(line[0], '#');
}

TEST(Expectations, FindSequenceNeedsConsecutiveOrder) {
    std::vector<std::string> messages = {"a", "b", "c", "b", "d"};
    EXPECT_EQ(e2e::FindSequence(messages, {"b", "c"}), 1);
    EXPECT_EQ(e2e::FindSequence(messages, {"b", "d"}), 3);
    EXPECT_EQ(e2e::FindSequence(messages, {"a", "c"}), -1);
    EXPECT_EQ(e2e::FindSequence(messages, {}), -1);
}

}  // namespace
