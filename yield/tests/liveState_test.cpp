// The live state the pages follow: every change wakes them, a stop too.
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

AlarmCondition Low(const std::string& station) { return {kAlarmLowYield, station, "", 0.5, 10}; }

}  // namespace

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
