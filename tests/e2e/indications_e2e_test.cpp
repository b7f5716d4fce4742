// What the operator sees on the bench: the blink timer from start-up to the first LED test,
// the tray message, and the end patterns of a pass, a failure and a set-up failure.
#include <gtest/gtest.h>

#include <cmath>

#include "bench_run.h"
#include "run_checks.h"
#include "suite_run.h"

namespace {
constexpr double kToleranceMs = 60;

E2E_SUITE(StandardIndications, "standard", "Cnt=1");

std::vector<nlohmann::json> BlinkCommands(const e2e::BenchRun& run) {
    std::vector<nlohmann::json> out;
    for (const auto& c : run.TextCommands()) {
        if (c["text"] == "SON=5,4" || c["text"] == "SOFF=5,4") out.push_back(c);
    }
    return out;
}
}  // namespace

TEST_F(StandardIndications, TrayReceivesOneMessageWithTwoAndZero) {
    const auto& tray = run->record["tray"];
    ASSERT_EQ(1u, tray.size());
    EXPECT_EQ(36876, tray[0]["type"]);
    EXPECT_EQ(76, tray[0]["len"]);
    EXPECT_EQ(2, tray[0]["int0"]);
    EXPECT_EQ(0, tray[0]["int1"]);
}

TEST_F(StandardIndications, LedsBlinkTogetherEveryThreeHundredMilliseconds) {
    auto blink = BlinkCommands(*run);
    ASSERT_GE(blink.size(), 10u);
    // The tray message goes out 200 ms after the timer starts; the first tick comes at 100 ms.
    double timerStart = run->record["tray"][0]["t_ms"].get<double>() - 200;
    EXPECT_NEAR(timerStart + 100, blink[0]["t_ms"].get<double>(), kToleranceMs);
    for (size_t i = 0; i < blink.size(); ++i) {
        EXPECT_EQ(i % 2 == 0 ? "SON=5,4" : "SOFF=5,4", blink[i]["text"]) << i;
        if (i == 0) continue;
        double gap = blink[i]["t_ms"].get<double>() - blink[i - 1]["t_ms"].get<double>();
        EXPECT_NEAR(300, gap, kToleranceMs) << "between blink " << i - 1 << " and " << i;
    }
}

TEST_F(StandardIndications, BlinkStopsBeforeTheLedTest) {
    double ledTest = e2e::FirstIoctlTime(*run, 0x83);
    ASSERT_GT(ledTest, 0);
    auto blink = BlinkCommands(*run);
    ASSERT_FALSE(blink.empty());
    EXPECT_LT(blink.back()["t_ms"].get<double>(), ledTest);
    // The blink ran through the cycle up to its stop: the last tick is within one blink period.
    EXPECT_GT(blink.back()["t_ms"].get<double>(), ledTest - 300 - 50 - 100 - kToleranceMs);
}

TEST_F(StandardIndications, PassPatternAfterTheLedTest) {
    EXPECT_EQ(e2e::ReadExpectations("end_pattern_pass.txt"), e2e::CommandsAfterLastIoctl(*run));
    auto commands = run->TextCommands();
    double first = -1;
    for (size_t i = commands.size(); i-- > 1;) {
        if (commands[i]["text"] == "SOFF=4,5") {
            first = commands[i]["t_ms"];
            break;
        }
    }
    double last = commands.back()["t_ms"];
    EXPECT_NEAR(7000, last - first, 300);  // 70 steps of 100 ms from the first to the last switch
}

E2E_SUITE(FailedIndications, "serial-cut-pair", "Cnt=1");

TEST_F(FailedIndications, FailurePatternAndStillExitZero) {
    EXPECT_EQ(0, run->ToolExitCode());
    EXPECT_EQ(1, e2e::CountMessages(*run, "Test Q7 Err!!!"));
    auto after = e2e::CommandsAfterLastIoctl(*run);
    ASSERT_FALSE(after.empty());
    EXPECT_EQ("SOFF=4,5", after.front());  // the LED test's own closing command
    after.erase(after.begin());
    EXPECT_EQ(e2e::ReadExpectations("end_pattern_fail.txt"), after);
}
