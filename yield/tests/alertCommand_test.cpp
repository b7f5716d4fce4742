// The alert command: its arguments and how many run at once.
#include "serve/alertCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <thread>

#include "parse/calendar.h"
#include "serve/alarmRule.h"
#include "serve/liveState.h"
#include "serve/server.h"
#include "testSupport.h"

using namespace yield;
using yieldtest::TempDir;

TEST(ServeAlert, LogTextStaysOneArgumentAndTheUsersWordsAreSplit) {
    Alarm a;
    a.id = 7;
    a.kind = kAlarmFlaggedPort;
    a.station = "fix A; rm -rf $(x)";
    a.ports = "DI-5";
    a.boards = 8;
    a.portFailureRate = 0.625;
    std::vector<std::string> words = CommandWords("  /bin/notify  --to lead ");
    EXPECT_EQ(words, (std::vector<std::string>{"/bin/notify", "--to", "lead"}));
    EXPECT_EQ(AlertArguments(words, a),
              (std::vector<std::string>{"/bin/notify", "--to", "lead", kAlarmFlaggedPort,
                                        "fix A; rm -rf $(x)", "DI-5", "62.5"}));
    std::vector<std::string> env = AlertEnvironment(a);
    EXPECT_NE(std::find(env.begin(), env.end(), "DEVUZE_ALERT_STATION=fix A; rm -rf $(x)"),
              env.end());
    EXPECT_NE(std::find(env.begin(), env.end(), "DEVUZE_ALERT_FAILURE_RATE=62.5"), env.end());
    EXPECT_NE(std::find(env.begin(), env.end(), "DEVUZE_ALERT_BOARDS=8"), env.end());
    // A figure of the other kind is not set at all.
    for (const std::string& kv : env) EXPECT_EQ(kv.find(kAlertFirstPassYield), std::string::npos);
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
        Alarm a;
        a.id = 1;
        a.kind = kAlarmLowYield;
        a.station = station;
        a.firstPassYield = 0.5;
        alerts.Raise(a);
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
