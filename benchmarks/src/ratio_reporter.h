// Console output of Google Benchmark, followed by the table of ratios (ratio_table.h) built from
// the same run's repetitions.
#pragma once

#include <benchmark/benchmark.h>

#include <vector>

#include "ratio_table.h"

namespace devbench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter(std::vector<RatioPair> pairs, OutputOptions options)
        : ConsoleReporter(options), m_pairs(std::move(pairs)) {}
    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    std::vector<RatioPair> m_pairs;
    RunTimes m_times;
};

}  // namespace devbench
