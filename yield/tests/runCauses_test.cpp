// A failed run's causes: a device whose every port failed is one cause, the DI and DO ports one
// device, any other failed port its own cause, and a failed run without a failing port the run's.
#include "parse/runCauses.h"

#include <gtest/gtest.h>

namespace yield {
namespace {

using Causes = std::vector<std::string>;

TEST(RunCauses, AWholeDeviceIsOneCauseAndOtherFailedPortsTheirOwn) {
    std::vector<PortResult> noDio;
    for (int i = 1; i <= 8; ++i) noDio.push_back({"DI", i, false, false});
    for (int i = 1; i <= 5; ++i) noDio.push_back({"DO", i, false, false});
    noDio.push_back({"RS232", 1, true, false});
    EXPECT_EQ(RunCauses(noDio, Verdict::Err), Causes{"DIO: all 13 ports failed"});

    // One DI port of eight is the port's own cause; so is the one port a device has.
    EXPECT_EQ(RunCauses({{"DI", 5, false, false}, {"DI", 6, true, false}}, Verdict::Err),
              Causes{"DI-5"});
    EXPECT_EQ(RunCauses({{"ADC", 1, false, false}}, Verdict::Err), Causes{"ADC-1"});
    EXPECT_EQ(RunCauses({{"USB", 1, false, false}, {"USB", 2, false, false},
                         {"LED", 3, false, false}, {"LED", 4, true, false}},
                        Verdict::Err),
              (Causes{"USB: all 2 ports failed", "LED-3"}));
}

TEST(RunCauses, AFailedRunWithoutAFailedPortHasTheRunsOwnCause) {
    EXPECT_EQ(RunCauses({}, Verdict::Err), Causes{kNoPortCause});
    EXPECT_EQ(RunCauses({{"ADC", 1, true, false}}, Verdict::Err), Causes{kNoPortCause});
    EXPECT_TRUE(RunCauses({{"ADC", 1, true, false}}, Verdict::Ok).empty());
}

}  // namespace
}  // namespace yield
