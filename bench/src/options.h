// The bench's command line:
//   devuzeV7-bench --scenario <name or dir> [--tool PATH] [--out DIR] [--quiet]
//                  [--scenarios DIR] [--timeout SEC] [--hostname NAME] [--cpu-id TEXT]
//                  [--emulator PATH [--sysroot DIR] [--preload PATH]] [-- tool args...]
//   devuzeV7-bench --self-test [--scenario ...] [--out DIR] [--quiet]
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "scenario.h"

namespace bench {

struct Options {
    std::string scenario = "standard";
    std::string scenariosDir;
    std::string tool;
    std::string outDir;
    std::string emulator;
    std::string sysroot;
    std::string preload;
    // From the bench's own GCOV_PREFIX and GCOV_PREFIX_STRIP: where a tool built for coverage
    // leaves its counts (a host folder, bound into the fake root), and how many leading
    // folders of their built-in paths it drops.
    std::string coverageDir;
    std::string coverageStrip;
    std::optional<std::string> hostname;  // the scenario's host name for this run
    std::optional<std::string> cpuId;     // the fuse ID text for this run (a line feed is added)
    int timeoutSec = 0;                   // 0: the scenario's
    bool quiet = false;
    bool selfTest = false;
    bool help = false;
    std::vector<std::string> toolArgs;
};

// The kernel's limit for a host name.
inline constexpr size_t kMaxHostnameBytes = 64;

bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);
// Puts the run's --hostname and --cpu-id into the loaded scenario.
void ApplyRunOverrides(const Options& options, Scenario& scenario);
std::string Usage();

}  // namespace bench
