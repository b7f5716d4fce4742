// The Pareto's causes: a device whose every port failed is one cause, each board counts once per
// cause however often it was retested, and a failed run without a failing port has its own cause.
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

TEST(FailureCauses, AWholeDeviceIsOneCauseAndABoardCountsOncePerCause) {
    std::vector<PortResult> noDio;
    for (int i = 1; i <= 8; ++i) noDio.push_back({"DI", i, false, false});
    for (int i = 1; i <= 5; ++i) noDio.push_back({"DO", i, false, false});
    noDio.push_back({"RS232", 1, true, false});
    EXPECT_EQ(RunCauses(RunOf("a", Verdict::Err, noDio)),
              std::vector<std::string>{"DIO: all 13 ports failed"});
    // One DI port of eight is the port's own cause.
    std::vector<PortResult> oneDi = {{"DI", 5, false, false}, {"DI", 6, true, false}};
    EXPECT_EQ(RunCauses(RunOf("b", Verdict::Err, oneDi)), std::vector<std::string>{"DI-5"});

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

}  // namespace
}  // namespace yield
