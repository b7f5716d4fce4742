// The alarm rule over a day's model and the book of alarms raised, shown and cleared.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <thread>

#include "parse/calendar.h"
#include "serve/alarmRule.h"
#include "serve/alertCommand.h"
#include "serve/liveState.h"
#include "serve/server.h"
#include "testSupport.h"

using namespace yield;
using yieldtest::TempDir;

namespace {

long long g_nextId = 1;

RunSummary MakeRun(const std::string& chip, const std::string& station, const std::string& stamp,
                   Verdict v, std::vector<PortResult> ports = {}) {
    RunSummary r;
    r.id = g_nextId++;
    r.chipId = chip;
    r.host = "host";
    r.station = station;
    r.timeStamp = stamp;
    r.day = "2026-12-07";
    r.hour = StampHour(stamp);
    r.verdict = v;
    r.ports = std::move(ports);
    return r;
}

// `failing` failed boards then `passing` good ones on `station`, one a minute from `hour`.
std::vector<RunSummary> Boards(const std::string& station, int passing, int failing,
                               const std::string& hour = "08") {
    std::vector<RunSummary> runs;
    for (int i = 0; i < failing + passing; ++i) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "2026_12_07_%s_%02d_00", hour.c_str(), i);
        runs.push_back(MakeRun(station + "-" + std::to_string(i) + hour, station, stamp,
                               i < failing ? Verdict::Err : Verdict::Ok));
    }
    return runs;
}

ReportModel ModelOf(const std::vector<RunSummary>& runs, int window = AlarmRule{}.boards) {
    ReportBuilder b({});
    b.KeepRecentBoards(window);
    for (const RunSummary& r : runs) b.AddRun(r);
    return b.Finish();
}

AlarmCondition Low(const std::string& station) { return {kAlarmLowYield, station, "", 0.5, 10}; }

}  // namespace

TEST(ServeAlarmRule, LowYieldNeedsAFullWindowOfTheLatestBoards) {
    AlarmRule rule;
    rule.boards = 4;
    rule.minYield = 0.80;
    // Three failures then four good boards: the last four are all good.
    std::vector<RunSummary> recovered = Boards("s1", 4, 3);
    EXPECT_TRUE(AlarmConditions(ModelOf(recovered, rule.boards), rule).empty());
    // Three boards only, all failed: no full window yet.
    std::vector<RunSummary> few = Boards("s1", 0, 3);
    EXPECT_TRUE(AlarmConditions(ModelOf(few, rule.boards), rule).empty());
    // Four good boards then two failures: 2 of the last 4 passed.
    std::vector<RunSummary> falling = Boards("s1", 4, 0, "08");
    for (const RunSummary& r : Boards("s1", 0, 2, "09")) falling.push_back(r);
    auto now = AlarmConditions(ModelOf(falling, rule.boards), rule);
    ASSERT_EQ(now.size(), 1u);
    EXPECT_EQ(now[0].kind, kAlarmLowYield);
    EXPECT_EQ(now[0].station, "s1");
    EXPECT_DOUBLE_EQ(now[0].rate, 0.5);
    EXPECT_EQ(now[0].boards, 4);
}

TEST(ServeAlarmRule, ThresholdIsStrict) {
    AlarmRule rule;
    rule.boards = 5;
    rule.minYield = 0.80;
    std::vector<RunSummary> runs = Boards("s1", 4, 1);  // exactly 80 %
    EXPECT_TRUE(AlarmConditions(ModelOf(runs, rule.boards), rule).empty());
    rule.minYield = 0.81;
    EXPECT_EQ(AlarmConditions(ModelOf(runs, rule.boards), rule).size(), 1u);
}

TEST(ServeAlarmRule, FlaggedPortsOfAStationAreOneAlarm) {
    std::vector<RunSummary> runs;
    for (int i = 0; i < 4; ++i) {
        std::string n = std::to_string(i);
        runs.push_back(
            MakeRun("bad" + n, "bad", "2026_12_07_08_0" + n + "_00", Verdict::Err,
                    {PortResult{"DI", 5, false, false}, PortResult{"DI", 6, i == 0, false}}));
        runs.push_back(
            MakeRun("good" + n, "good", "2026_12_07_08_1" + n + "_00", Verdict::Ok,
                    {PortResult{"DI", 5, true, false}, PortResult{"DI", 6, true, false}}));
    }
    AlarmRule rule;
    rule.minYield = 0;  // the flags alone
    auto now = AlarmConditions(ModelOf(runs, rule.boards), rule);
    ASSERT_EQ(now.size(), 1u);
    EXPECT_EQ(now[0].kind, kAlarmFlaggedPort);
    EXPECT_EQ(now[0].station, "bad");
    EXPECT_EQ(now[0].port, "DI-5, DI-6");
    EXPECT_DOUBLE_EQ(now[0].rate, 1.0);  // the worse of the two
}

TEST(ServeAlarmBook, ASecondFlaggedPortJoinsTheStationsAlarm) {
    AlarmBook book;
    AlarmCondition one{kAlarmFlaggedPort, "C", "RS232-1", 0.5, 4};
    ASSERT_EQ(book.Update({one}, "t1").size(), 1u);
    AlarmCondition both{kAlarmFlaggedPort, "C", "RS232-1, RS232-2", 0.75, 4};
    EXPECT_TRUE(book.Update({both}, "t2").empty());
    ASSERT_EQ(book.Shown().size(), 1u);
    EXPECT_EQ(book.Shown()[0].condition.port, both.port);
    EXPECT_EQ(book.Shown()[0].raisedAt, "t1");
    book.Update({}, "t3");
    ASSERT_EQ(book.Update({one}, "t4").size(), 1u);  // back again: a new alarm
    ASSERT_EQ(book.Shown().size(), 2u);
    book.Update({both}, "t5");
    EXPECT_EQ(book.Shown()[0].condition.port, both.port);  // the earlier one as it was left
    EXPECT_EQ(book.Shown()[1].condition.port, both.port);
}

TEST(ServeAlarmBook, RaisesOncePerConditionUntilItGoesAway) {
    AlarmBook book;
    auto first = book.Update({Low("s1")}, "t1");
    ASSERT_EQ(first.size(), 1u);
    EXPECT_TRUE(book.Update({Low("s1"), Low("s1")}, "t2").empty());  // still holding
    ASSERT_EQ(book.Shown().size(), 1u);
    EXPECT_EQ(book.Shown()[0].raisedAt, "t1");
    EXPECT_TRUE(book.Update({}, "t3").empty());
    EXPECT_EQ(book.Shown().size(), 1u);  // shown until cleared
    auto again = book.Update({Low("s1")}, "t4");
    ASSERT_EQ(again.size(), 1u);
    EXPECT_NE(again[0].id, first[0].id);
    EXPECT_EQ(book.Shown().size(), 2u);
}

TEST(ServeAlarmBook, ClearedAlarmStaysClearedWhileItsConditionHolds) {
    AlarmBook book;
    long long id = book.Update({Low("s1"), Low("s2")}, "t1").front().id;
    EXPECT_TRUE(book.Clear(id));
    EXPECT_FALSE(book.Clear(id));
    EXPECT_TRUE(book.Update({Low("s1"), Low("s2")}, "t2").empty());
    ASSERT_EQ(book.Shown().size(), 1u);
    EXPECT_EQ(book.Shown()[0].condition.station, "s2");
}

TEST(ServeAlarmBook, KeepsTheNewestWhenFull) {
    AlarmBook book;
    for (size_t i = 0; i < AlarmBook::kMaxShown + 5; ++i) {
        book.Update({Low("s" + std::to_string(i))}, "t");
        book.Update({}, "t");
    }
    ASSERT_EQ(book.Shown().size(), AlarmBook::kMaxShown);
    EXPECT_EQ(book.Shown().back().condition.station,
              "s" + std::to_string(AlarmBook::kMaxShown + 4));
    EXPECT_EQ(book.Shown().front().condition.station, "s5");
}
