// The line screen's rules: the alarm rule and its book, the alert's arguments and
// the listen address.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <thread>

#include "alarmRule.h"
#include "alertCommand.h"
#include "calendar.h"
#include "liveState.h"
#include "server.h"
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

TEST(ServeAlert, LogTextStaysOneArgumentAndTheUsersWordsAreSplit) {
    Alarm a{7, {kAlarmFlaggedPort, "fix A; rm -rf $(x)", "DI-5", 0.625, 8}, "t"};
    std::vector<std::string> words = CommandWords("  /bin/notify  --to lead ");
    EXPECT_EQ(words, (std::vector<std::string>{"/bin/notify", "--to", "lead"}));
    EXPECT_EQ(AlertArguments(words, a),
              (std::vector<std::string>{"/bin/notify", "--to", "lead", kAlarmFlaggedPort,
                                        "fix A; rm -rf $(x)", "DI-5", "62.5"}));
    std::vector<std::string> env = AlertEnvironment(a);
    EXPECT_NE(std::find(env.begin(), env.end(), "DEVUZE_ALERT_STATION=fix A; rm -rf $(x)"),
              env.end());
    EXPECT_NE(std::find(env.begin(), env.end(), "DEVUZE_ALERT_RATE=62.5"), env.end());
    EXPECT_NE(std::find(env.begin(), env.end(), "DEVUZE_ALERT_ID=7"), env.end());
}

TEST(ServeAlert, AtMostSoManyRunTheRestWaitInOrderAndAFullQueueSaysSo) {
    TempDir tmp;
    const std::filesystem::path script = tmp.path() / "alert.sh", said = tmp.path() / "said";
    // Each alert writes its station, then waits for its own file to go away.
    yieldtest::WriteAll(script, "#!/bin/sh\necho \"$2\" >>'" + said.string() + "'\nwhile [ -e '" +
                                    tmp.path().string() + "/hold'-\"$2\" ]; do sleep 0.05; done\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    AlertQueue alerts({script.string()}, 2, 2);
    auto hold = [&tmp](const std::string& station) { return tmp.path() / ("hold-" + station); };
    auto reapWhile = [&alerts](size_t more) {
        while (alerts.Running() + alerts.Waiting() > more) {
            alerts.Reap();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
    testing::internal::CaptureStderr();
    for (const char* station : {"s1", "s2", "s3", "s4", "s5"}) {
        yieldtest::WriteAll(hold(station), "");
        alerts.Raise({1, {kAlarmLowYield, station, "", 0.5, 10}, "t"});
    }
    EXPECT_NE(testing::internal::GetCapturedStderr().find("station s5 is not run"),
              std::string::npos);
    EXPECT_EQ(alerts.Running(), 2u);
    EXPECT_EQ(alerts.Waiting(), 2u);
    std::filesystem::remove(hold("s1"));
    reapWhile(3);
    EXPECT_EQ(alerts.Running(), 2u);  // s3 in s1's place, s4 waiting behind it
    while (yieldtest::ReadAll(said).find("s3") == std::string::npos)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(yieldtest::ReadAll(said).find("s4"), std::string::npos);
    for (const char* station : {"s2", "s3", "s4"}) std::filesystem::remove(hold(station));
    reapWhile(0);
    std::string all = yieldtest::ReadAll(said);
    EXPECT_NE(all.find("s4"), std::string::npos);
    EXPECT_EQ(all.find("s5"), std::string::npos);
}

TEST(ServeListen, AddressAndPort) {
    std::string host;
    int port = -1;
    EXPECT_TRUE(SplitListen("127.0.0.1:8047", host, port));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 8047);
    EXPECT_TRUE(SplitListen("[::1]:0", host, port));
    EXPECT_EQ(host, "::1");
    EXPECT_EQ(port, 0);
    for (const char* bad : {"127.0.0.1", ":80", "host:", "host:65536", "host:8o", "[::1:80"})
        EXPECT_FALSE(SplitListen(bad, host, port)) << bad;
}

TEST(ServeLive, EveryChangeOfDataOrAlarmsWakesTheLivePages) {
    Live live;
    EXPECT_EQ(live.Body(), NoScreenBody());
    uint64_t g0 = live.Generation();
    live.Publish(nlohmann::json{{"day", "2026-12-07"}});
    uint64_t g1 = live.WaitChange(g0, std::chrono::milliseconds(0));
    EXPECT_NE(g1, g0);
    auto body = nlohmann::json::parse(live.Body());
    EXPECT_EQ(body["data"]["day"], "2026-12-07");
    EXPECT_TRUE(body["alarms"].empty());

    std::vector<Alarm> raised = live.Raise({Low("s\xff")}, "t1");  // not UTF-8: still JSON
    ASSERT_EQ(raised.size(), 1u);
    uint64_t g2 = live.Generation();
    EXPECT_NE(g2, g1);
    body = nlohmann::json::parse(live.Body());
    ASSERT_EQ(body["alarms"].size(), 1u);
    EXPECT_EQ(body["alarms"][0]["id"], raised[0].id);
    live.Raise({Low("s\xff")}, "t2");  // still holding: nothing new
    EXPECT_EQ(live.Generation(), g2);

    EXPECT_FALSE(live.Clear(raised[0].id + 1));
    EXPECT_EQ(live.Generation(), g2);
    EXPECT_TRUE(live.Clear(raised[0].id));
    EXPECT_NE(live.Generation(), g2);
    EXPECT_TRUE(nlohmann::json::parse(live.Body())["alarms"].empty());
}

TEST(ServeLive, StoppingWakesAWaitingPage) {
    Live live;
    std::thread stopper([&live] { live.Stop(); });
    auto start = std::chrono::steady_clock::now();
    live.WaitChange(live.Generation(), std::chrono::hours(1));
    stopper.join();
    EXPECT_TRUE(live.Stopped());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::minutes(1));
}

TEST(ServeListen, OnLoopbackOnlyLoopbackNamesReachTheScreen) {
    EXPECT_TRUE(HostAllowed("127.0.0.1", 8047, "127.0.0.1:8047"));
    EXPECT_TRUE(HostAllowed("127.0.0.1", 8047, "localhost:8047"));
    EXPECT_TRUE(HostAllowed("::1", 8047, "[::1]:8047"));
    EXPECT_TRUE(HostAllowed("127.0.0.1", 80, "LocalHost"));
    EXPECT_FALSE(HostAllowed("127.0.0.1", 8047, "attacker.example:8047"));
    EXPECT_FALSE(HostAllowed("127.0.0.1", 8047, "127.0.0.1:8048"));
    EXPECT_FALSE(HostAllowed("127.0.0.1", 8047, "localhost"));
    EXPECT_FALSE(HostAllowed("127.0.0.1", 8047, "localhost:8047x"));
    EXPECT_FALSE(HostAllowed("127.0.0.1", 8047, "[::1:8047"));
    EXPECT_FALSE(HostAllowed("127.0.0.1", 8047, ""));
    EXPECT_TRUE(HostAllowed("0.0.0.0", 8047, "line-screen.factory:8047"));
    EXPECT_TRUE(HostAllowed("::", 8047, "line-screen.factory:8047"));
    // Every loopback address is guarded, however it was given to --listen.
    for (const char* bound : {"127.0.0.2", "127.255.255.254", "::ffff:127.0.0.1", "::1"}) {
        EXPECT_TRUE(IsLoopbackAddress(bound)) << bound;
        EXPECT_FALSE(HostAllowed(bound, 8047, "attacker.example:8047")) << bound;
    }
    EXPECT_FALSE(IsLoopbackAddress("::ffff:10.0.0.1"));
    EXPECT_FALSE(IsLoopbackAddress("128.0.0.1"));
}
