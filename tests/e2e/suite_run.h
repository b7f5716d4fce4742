// The one way an end-to-end suite runs its scenario: once, before its first test, into an output
// folder named after the suite; every test of the suite reads the same record through `run`
// and starts only when the bench completed the run and wrote its record.
//
//   E2E_SUITE(StandardRun, "standard", "Cnt=2");                // scenario and tool arguments
//   E2E_SUITE_WITH(DioClient, (e2e::RunPlan{scenario, {}, {"--tool", client}}));
//   TEST_F(StandardRun, Passes) { EXPECT_EQ(run->ToolExitCode(), 0); }
//
// Expectations belong in tests/e2e/data (ReadExpectations), not in code that rebuilds the
// tool's own order.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench_run.h"

namespace e2e {

// What a suite runs: a scenario (a name under bench/scenarios or a folder), the tool's
// arguments (none: the scenario's own) and the bench's extra options.
struct RunPlan {
    std::string scenario;
    std::vector<std::string> toolArgs;
    std::vector<std::string> benchArgs;
};

// Base of a suite `Suite` with a static `RunPlan Plan()`.
template <class Suite>
class SuiteRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const RunPlan plan = Suite::Plan();
        const char* label = ::testing::UnitTest::GetInstance()->current_test_suite()->name();
        run = new BenchRun(RunScenario(plan.scenario, plan.toolArgs, label, plan.benchArgs));
    }
    static void TearDownTestSuite() {
        delete run;
        run = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(run->Ok()) << run->Diagnostics(); }
    static BenchRun* run;
};
template <class Suite>
BenchRun* SuiteRun<Suite>::run = nullptr;

}  // namespace e2e

// A suite whose run is `plan`, an expression giving an e2e::RunPlan (parenthesize braces).
#define E2E_SUITE_WITH(Name, plan)                  \
    class Name : public e2e::SuiteRun<Name> {       \
    public:                                         \
        static e2e::RunPlan Plan() { return plan; } \
    }

// A suite running `scenario` with the given tool arguments.
#define E2E_SUITE(Name, scenario, ...) \
    E2E_SUITE_WITH(Name, (e2e::RunPlan{scenario, {__VA_ARGS__}, {}}))
