// The table of whole runs: measured wall time beside the floor of fixed waits, the tool's CPU
// time and its peak resident memory, each against its goal.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "run_floor.h"

namespace devbench {

namespace goal {
inline constexpr double kOverheadRatio = 1.03;  // wall time over the floor
inline constexpr double kCpuShare = 0.05;       // tool CPU time (children included) / wall
inline constexpr long kPeakRssKb = 4 * 1024;    // VmHWM of the tool process
}  // namespace goal

struct RunInput {
    std::string label;
    nlohmann::json record;
    // The tool's usage: the record's "tool_usage" when the bench writes one, else what
    // devuzeV7-tool-watch wrote. Shape: {"vm_hwm_kb": n, "cpu_ms": {"total": ms, ...}}.
    nlohmann::json watch;
};

struct RunFigures {
    std::string label;
    double wallMs = 0;
    RunFloor floor;
    double cpuMs = -1;  // -1: unknown
    long hwmKb = -1;
    std::string usageSource;
    int exitCode = -1;
    std::string verdict;
};

RunFigures Summarize(const RunInput& input);
std::string FormatRuns(const std::vector<RunFigures>& runs, long bareHwmKb);

}  // namespace devbench
