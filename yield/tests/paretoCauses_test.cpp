// The Pareto by cause: each board counts once per cause however often it was retested, from the
// causes a store kept or from its run's ports.
#include "report/paretoCauses.h"

#include <gtest/gtest.h>

namespace yield {
namespace {

RunSummary RunOf(const std::string& chip, Verdict v, std::vector<PortResult> ports) {
    RunSummary r;
    r.chipId = chip;
    r.verdict = v;
    r.ports = std::move(ports);
    return r;
}

TEST(CauseTally, ABoardCountsOncePerCause) {
    std::vector<PortResult> noDio;
    for (int i = 1; i <= 8; ++i) noDio.push_back({"DI", i, false, false});
    std::vector<PortResult> oneDi = {{"DI", 5, false, false}, {"DI", 6, true, false}};

    CauseTally t;
    t.Add(RunOf("a", Verdict::Err, noDio));
    t.Add(RunOf("b", Verdict::Err, oneDi));
    t.Add(RunOf("b", Verdict::Err, oneDi));  // a retest with the same cause
    t.Add(RunOf("c", Verdict::Err, oneDi));
    t.Add(RunOf("d", Verdict::Err, {}));  // a set-up failure
    t.Add(RunOf("e", Verdict::Ok, {{"DI", 5, true, false}}));
    std::vector<CauseRow> rows = t.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].cause, "DI-5");
    EXPECT_EQ(rows[0].boards, 2);
    EXPECT_DOUBLE_EQ(rows[0].share, 0.5);
    EXPECT_EQ(rows[1].boards, 1);
    EXPECT_DOUBLE_EQ(rows.back().cumulative, 1.0);
    EXPECT_TRUE(rows[1].cause == kNoPortCause || rows[2].cause == kNoPortCause);
}

TEST(CauseTally, ARunsKeptCausesStandForItsPorts) {
    RunSummary kept = RunOf("a", Verdict::Err, {{"ADC", 2, true, true}});
    kept.causes = {"USB: all 2 ports failed", "ADC-1"};
    CauseTally t;
    t.Add(kept);
    t.Add(RunOf("b", Verdict::Err, {{"ADC", 1, false, false}}));
    std::vector<CauseRow> rows = t.Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].cause, "ADC-1");
    EXPECT_EQ(rows[0].boards, 2);
    EXPECT_EQ(rows[1].cause, "USB: all 2 ports failed");
}

}  // namespace
}  // namespace yield
