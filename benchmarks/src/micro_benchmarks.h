// The micro-benchmarks of the trace log and of the INI readers. Each Register function makes
// its input files in `dir` (which must outlive the run) and registers its benchmarks; the
// pairs say which of them are printed side by side.
#pragma once

#include <string>
#include <vector>

#include "ratio_table.h"

namespace devbench {

// Lines written per timed batch; the log starts empty at line 0 before every batch, so no
// batch reaches the rotation after vxlog::kLinesPerFile lines.
inline constexpr int kLinesPerBatch = 1000;
// Keys looked up per timed iteration, spread over the whole file.
inline constexpr int kProbesPerIteration = 64;

bool RegisterTraceLogBenchmarks(const std::string& dir, std::string& error);
std::vector<RatioPair> TraceLogPairs();

bool RegisterIniBenchmarks(const std::string& dir, std::string& error);
std::vector<RatioPair> IniPairs();

}  // namespace devbench
