// The live state the pages follow: every change wakes them, a stop too.
#include "serve/liveState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <thread>

#include "parse/calendar.h"
#include "serve/alarmRule.h"
#include "serve/alertCommand.h"
#include "serve/server.h"
#include "testSupport.h"

using namespace yield;
using yieldtest::TempDir;

namespace {

Alarm Low(long long id, const std::string& station) {
    Alarm a;
    a.id = id;
    a.kind = kAlarmLowYield;
    a.station = station;
    a.firstPassYield = 0.5;
    return a;
}

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

    std::vector<Alarm> shown = {Low(3, "s\xff")};  // not UTF-8: still JSON
    live.PublishAlarms(shown, shown);
    uint64_t g2 = live.Generation();
    EXPECT_NE(g2, g1);
    body = nlohmann::json::parse(live.Body());
    ASSERT_EQ(body["alarms"].size(), 1u);
    EXPECT_EQ(body["alarms"][0]["id"], 3);
    // Each figure under its own name; the other kind's and the steps not taken are null.
    EXPECT_EQ(body["alarms"][0]["first_pass_yield"], 0.5);
    EXPECT_TRUE(body["alarms"][0]["port_failure_rate"].is_null());
    EXPECT_TRUE(body["alarms"][0]["cleared_by"].is_null());
    live.PublishAlarms(shown, shown);  // the same: no change
    EXPECT_EQ(live.Generation(), g2);

    shown[0].clearedAt = "t2";
    shown[0].clearedBy = "ann";
    live.PublishAlarms({}, shown);
    EXPECT_NE(live.Generation(), g2);
    body = nlohmann::json::parse(live.Body());
    EXPECT_TRUE(body["alarms"].empty());
    EXPECT_EQ(body["alarm_history"][0]["cleared_by"], "ann");
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
