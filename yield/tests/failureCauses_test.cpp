#include "parse/failureCauses.h"

#include <gtest/gtest.h>

using namespace yield;

namespace {

RunRecord Failing(const std::vector<std::pair<std::string, int>>& ports) {
    RunRecord run;
    run.verdict = Verdict::Err;
    for (const auto& [family, n] : ports) run.ports.push_back(PortResult{family, n, false, false});
    return run;
}

Measurement Count(double value, double expected) {
    Measurement m;
    m.port = "USB";
    m.name = "USB.count";
    m.value = value;
    m.unit = "sticks";
    m.hasLimits = true;
    m.low = m.high = expected;
    m.outcome = "fail";
    m.line = "USB Dev Cnt:1";
    return m;
}

}  // namespace

// A cause several ports share is said once, with every port it explains.
TEST(FailureCauses, SharedCauseSaidOnceForItsPorts) {
    RunRecord usb = Failing({{"USB", 1}, {"USB", 2}});
    usb.measurements = {Count(1, 2), Count(1, 2)};
    std::vector<FailureCause> c = FailureCauses(usb);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].Text(60), "USB-1, USB-2: 1 sticks, expected 2");
    nlohmann::json j = CauseJson(c[0]);
    EXPECT_EQ(j["port"], "USB");
    EXPECT_EQ(j["expected"], 2);
    EXPECT_EQ(j["message"], "USB Dev Cnt:1");

    // No DIO device: the routines' one line for every DO, DI and LED port.
    RunRecord dio = Failing({{"DO", 1}, {"DO", 2}, {"DI", 1}, {"DI", 2}, {"LED", 1}});
    dio.failures = {FailureLine{1, "DIO", "Err OpenDio"}, FailureLine{1, "LED", "Err OpenDio"}};
    c = FailureCauses(dio);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].Text(60), "5 ports DO-1 to LED-1: Err OpenDio");
    EXPECT_TRUE(CauseJson(c[0])["port"].is_null());  // of several families
}

// An input its output never drove takes the output's line; a port the log says nothing of is
// named alone; a run failed before any port gives its own line.
TEST(FailureCauses, EveryFailedPortAndTheRunItselfSayWhy) {
    RunRecord run = Failing({{"DO", 2}, {"DI", 2}, {"ADC", 9}});
    run.failures = {FailureLine{1, "DO-2", "Write DO2:-5 Err!"}};
    std::vector<FailureCause> c = FailureCauses(run);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].Text(60), "DO-2, DI-2: Write DO2:-5 Err!");
    EXPECT_EQ(c[1].Text(60), "ADC-9");
    EXPECT_TRUE(CauseJson(c[1])["message"].is_null());

    RunRecord setUp;
    setUp.verdict = Verdict::Err;
    setUp.failures = {FailureLine{0, "", "Err Get Port Info!!!"}};
    c = FailureCauses(setUp);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_TRUE(c[0].ports.empty());
    EXPECT_EQ(c[0].Text(60), "Err Get Port Info!!!");
}
