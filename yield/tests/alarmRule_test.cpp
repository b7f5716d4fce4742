// The alarm rule over a day's model and the book of alarms raised, shown and cleared.
#include "serve/alarmRule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <thread>

#include "parse/calendar.h"
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

AlarmCondition Low(const std::string& station) {
    return {kAlarmLowYield, station, "", 10, std::nullopt, 0.5};
}

// The alarms as a database keeps them, in memory.
class MemoryAlarms : public AlarmStore {
public:
    long long RaiseAlarm(const AlarmRow& a) override {
        rows.push_back(a);
        rows.back().id = static_cast<long long>(rows.size());
        return rows.back().id;
    }
    void EndAlarm(long long id, const std::string& at) override {
        if (Row(id).endedAt.empty()) Row(id).endedAt = at;
    }
    AlarmStepOutcome TakeAlarmStep(long long id, AlarmStep step, const AlarmNote& n) override {
        if (id < 1 || id > static_cast<long long>(rows.size()))
            return AlarmStepOutcome::NoSuchAlarm;
        AlarmRow& a = Row(id);
        if (!a.clearedAt.empty() || (step == AlarmStep::Acknowledge && !a.acknowledgedAt.empty()))
            return AlarmStepOutcome::AlreadyTaken;
        (step == AlarmStep::Clear ? a.clearedAt : a.acknowledgedAt) = n.at;
        return AlarmStepOutcome::Taken;
    }
    std::vector<AlarmRow> LiveAlarms() override {
        std::vector<AlarmRow> out;
        for (const AlarmRow& a : rows)
            if (a.clearedAt.empty() || a.endedAt.empty()) out.push_back(a);
        return out;
    }
    std::string AlarmsVersion() override { return ""; }
    AlarmRow& Row(long long id) { return rows.at(static_cast<size_t>(id - 1)); }
    std::vector<AlarmRow> rows;
};

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
    EXPECT_DOUBLE_EQ(now[0].firstPassYield.value_or(-1), 0.5);
    EXPECT_FALSE(now[0].portFailureRate.has_value());
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
    // A retest of one bad board: five runs of DI-5 at "bad", on four boards.
    runs.push_back(MakeRun("bad0", "bad", "2026_12_07_09_00_00", Verdict::Err,
                           {PortResult{"DI", 5, false, false}, PortResult{"DI", 6, true, false}}));
    AlarmRule rule;
    rule.minYield = 0;  // the flags alone
    auto now = AlarmConditions(ModelOf(runs, rule.boards), rule);
    ASSERT_EQ(now.size(), 1u);
    EXPECT_EQ(now[0].kind, kAlarmFlaggedPort);
    EXPECT_EQ(now[0].station, "bad");
    EXPECT_EQ(now[0].ports, "DI-5, DI-6");
    EXPECT_DOUBLE_EQ(now[0].portFailureRate.value_or(-1), 1.0);  // the worse of the two
    EXPECT_FALSE(now[0].firstPassYield.has_value());
    EXPECT_EQ(now[0].boards, 4);  // the boards that tested DI-5 at "bad", not its runs
}

TEST(ServeAlarmBook, ASecondFlaggedPortJoinsTheStationsAlarm) {
    AlarmBook book;
    MemoryAlarms db;
    AlarmCondition one{kAlarmFlaggedPort, "C", "RS232-1", 4, 0.5, std::nullopt};
    ASSERT_EQ(book.Update({one}, "t1", db).size(), 1u);
    AlarmCondition both{kAlarmFlaggedPort, "C", "RS232-1, RS232-2", 4, 0.75, std::nullopt};
    EXPECT_TRUE(book.Update({both}, "t2", db).empty());
    ASSERT_EQ(book.Shown().size(), 1u);
    EXPECT_EQ(book.Shown()[0].ports, both.ports);
    EXPECT_EQ(book.Shown()[0].raisedAt, "t1");
    EXPECT_EQ(db.Row(1).ports, one.ports);  // stored as it was raised
    book.Update({}, "t3", db);
    EXPECT_EQ(db.Row(1).endedAt, "t3");
    ASSERT_EQ(book.Update({one}, "t4", db).size(), 1u);  // back again: a new alarm
    ASSERT_EQ(book.Shown().size(), 2u);
    book.Update({both}, "t5", db);
    EXPECT_EQ(book.Shown()[0].ports, both.ports);  // the ended one as it was left
    EXPECT_EQ(book.Shown()[1].ports, both.ports);
}

TEST(ServeAlarmBook, RaisesOncePerConditionUntilItGoesAway) {
    AlarmBook book;
    MemoryAlarms db;
    auto first = book.Update({Low("s1")}, "t1", db);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_TRUE(book.Update({Low("s1"), Low("s1")}, "t2", db).empty());  // still holding
    ASSERT_EQ(book.Shown().size(), 1u);
    EXPECT_EQ(book.Shown()[0].raisedAt, "t1");
    EXPECT_TRUE(book.Update({}, "t3", db).empty());
    EXPECT_EQ(book.Shown().size(), 1u);  // shown until cleared
    auto again = book.Update({Low("s1")}, "t4", db);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_NE(again[0].id, first[0].id);
    EXPECT_EQ(book.Shown().size(), 2u);
}

TEST(ServeAlarmBook, ClearedAlarmStaysClearedWhileItsConditionHolds) {
    AlarmBook book;
    MemoryAlarms db;
    long long id = book.Update({Low("s1"), Low("s2")}, "t1", db).front().id;
    EXPECT_EQ(db.TakeAlarmStep(id, AlarmStep::Clear, {"ann", "", "t2"}), AlarmStepOutcome::Taken);
    EXPECT_EQ(db.TakeAlarmStep(id, AlarmStep::Clear, {"ann", "", "t2"}),
              AlarmStepOutcome::AlreadyTaken);
    book.Load(db.LiveAlarms());
    EXPECT_TRUE(book.Update({Low("s1"), Low("s2")}, "t3", db).empty());
    ASSERT_EQ(book.Shown().size(), 1u);
    EXPECT_EQ(book.Shown()[0].station, "s2");
}

// A server started again reads its book from the database: what was raised or cleared before is
// not raised again while its condition holds, and one that ended meanwhile raises anew.
TEST(ServeAlarmBook, ARestartRaisesNothingRaisedBefore) {
    MemoryAlarms db;
    {
        AlarmBook before;
        before.Update({Low("s1"), Low("s2"), Low("s3")}, "t1", db);
        db.TakeAlarmStep(1, AlarmStep::Clear, {"ann", "re-seated", "t2"});
    }
    AlarmBook after;
    after.Load(db.LiveAlarms());
    ASSERT_EQ(after.Shown().size(), 2u);  // s1 was cleared
    auto raised = after.Update({Low("s1"), Low("s2")}, "t3", db);
    EXPECT_TRUE(raised.empty());
    EXPECT_EQ(db.Row(3).endedAt, "t3");  // s3's condition went away while it was down
    raised = after.Update({Low("s1"), Low("s2"), Low("s3")}, "t4", db);
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0].station, "s3");
    EXPECT_EQ(raised[0].id, 4);
}

TEST(ServeAlarmBook, WhoAndNoteAreBounded) {
    EXPECT_EQ(AlarmNoteProblem({"ann", "cable re-seated", ""}), "");
    EXPECT_NE(AlarmNoteProblem({"", "a note", ""}), "");
    EXPECT_NE(AlarmNoteProblem({std::string(kMaxAlarmByBytes + 1, 'a'), "", ""}), "");
    EXPECT_NE(AlarmNoteProblem({"ann", std::string(kMaxAlarmNoteBytes + 1, 'n'), ""}), "");
    EXPECT_NE(AlarmNoteProblem({"ann\nbob", "", ""}), "");
}

TEST(ServeAlarmBook, KeepsTheNewestWhenFull) {
    AlarmBook book;
    MemoryAlarms db;
    for (size_t i = 0; i < AlarmBook::kMaxShown + 5; ++i) {
        book.Update({Low("s" + std::to_string(i))}, "t", db);
        book.Update({}, "t", db);
    }
    ASSERT_EQ(book.Shown().size(), AlarmBook::kMaxShown);
    EXPECT_EQ(book.Shown().back().station, "s" + std::to_string(AlarmBook::kMaxShown + 4));
    EXPECT_EQ(book.Shown().front().station, "s5");
}
