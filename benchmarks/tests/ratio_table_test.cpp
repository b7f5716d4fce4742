#include "ratio_table.h"

#include <gtest/gtest.h>

namespace devbench {
namespace {

TEST(RunTimes, MedianOfOddAndEvenCounts) {
    RunTimes times;
    for (double t : {5.0, 1.0, 3.0}) times.Add("odd", t);
    for (double t : {4.0, 1.0, 3.0, 2.0}) times.Add("even", t);
    EXPECT_DOUBLE_EQ(times.Median("odd"), 3.0);
    EXPECT_DOUBLE_EQ(times.Median("even"), 2.5);
    EXPECT_DOUBLE_EQ(times.Median("absent"), 0.0);
    EXPECT_FALSE(times.Has("absent"));
}

TEST(RatioRows, DividePerItemMediansOfSubjectByBaseline) {
    RunTimes times;
    times.Add("log", 0.006);
    times.Add("log", 0.008);
    times.Add("log", 0.007);
    times.Add("bare", 0.005);
    RatioPair pair{"log vs bare", "log", "bare", 1000, "line", 1.3, false};
    RatioRow row = MakeRow(pair, times);
    ASSERT_TRUE(row.complete);
    EXPECT_DOUBLE_EQ(row.subjectSec, 7e-6);
    EXPECT_DOUBLE_EQ(row.baselineSec, 5e-6);
    EXPECT_NEAR(row.ratio, 1.4, 1e-12);
}

TEST(RatioRows, AMissingBenchmarkLeavesTheRowIncomplete) {
    RunTimes times;
    times.Add("log", 1.0);
    RatioPair pair{"log vs bare", "log", "bare", 1, "line", 0, false};
    EXPECT_FALSE(MakeRow(pair, times).complete);
    EXPECT_NE(FormatTable({pair}, times).find("not measured"), std::string::npos);
}

TEST(RatioTable, MarksGoalsMetAndMissed) {
    RunTimes times;
    times.Add("a", 1.2);
    times.Add("b", 1.0);
    times.Add("c", 1.0);
    std::string table = FormatTable({{"within", "a", "b", 1, "x", 1.3, false},
                                     {"over", "a", "b", 1, "x", 1.1, false},
                                     {"equal is not faster", "b", "c", 1, "x", 1.0, true},
                                     {"no goal", "a", "b", 1, "x", 0, false}},
                                    times);
    auto lineOf = [&](const std::string& label) {
        size_t at = table.find(label);
        return at == std::string::npos ? std::string()
                                       : table.substr(at, table.find('\n', at) - at);
    };
    EXPECT_NE(lineOf("within").find("met"), std::string::npos);
    EXPECT_NE(lineOf("over").find("MISSED"), std::string::npos);
    EXPECT_NE(lineOf("equal is not faster").find("MISSED"), std::string::npos);
    EXPECT_EQ(lineOf("no goal").find("met"), std::string::npos);
    EXPECT_EQ(lineOf("no goal").find("MISSED"), std::string::npos);
    EXPECT_NE(lineOf("within").find("1.200x"), std::string::npos);
}

TEST(FormatSeconds, PicksAUnitWithThreeSignificantDigits) {
    EXPECT_EQ(FormatSeconds(2.5), "2.5 s");
    EXPECT_EQ(FormatSeconds(0.00821), "8.21 ms");
    EXPECT_EQ(FormatSeconds(3.456e-6), "3.46 us");
    EXPECT_EQ(FormatSeconds(8.5e-8), "85 ns");
}

}  // namespace
}  // namespace devbench

namespace devbench {
namespace {

TEST(RatioRows, PairedRowsTakeTheMedianOfTheirOwnCounters) {
    RunTimes times;
    const std::string name = "log_vs_bare";
    times.Add(name, 1.0);
    for (double r : {1.1, 5.0, 1.2}) times.Add(RunTimes::CounterKey(name, kRatioCounter), r);
    for (double s : {7e-6, 8e-6, 9e-6}) times.Add(RunTimes::CounterKey(name, kSubjectCounter), s);
    for (double s : {6e-6, 6e-6, 7e-6}) times.Add(RunTimes::CounterKey(name, kBaselineCounter), s);
    RatioPair pair{"paired", name, "", 1, "line", 1.3, false};
    pair.paired = true;
    RatioRow row = MakeRow(pair, times);
    ASSERT_TRUE(row.complete);
    EXPECT_DOUBLE_EQ(row.ratio, 1.2) << "the median ratio, not the ratio of the medians";
    EXPECT_DOUBLE_EQ(row.subjectSec, 8e-6);
    EXPECT_DOUBLE_EQ(row.baselineSec, 6e-6);
}

TEST(RatioTable, LeavesOutPairsOfWhichNothingRan) {
    RunTimes times;
    times.Add("a", 1.0);
    std::string table = FormatTable(
        {{"half", "a", "b", 1, "x", 0, false}, {"filtered away", "c", "d", 1, "x", 0, false}},
        times);
    EXPECT_NE(table.find("half"), std::string::npos);
    EXPECT_EQ(table.find("filtered away"), std::string::npos);
}

}  // namespace
}  // namespace devbench
