// The bench's command line:
//   devuzeV7-bench --scenario <name or dir> [--tool PATH] [--out DIR] [--quiet]
//                  [--scenarios DIR] [--timeout SEC]
//                  [--emulator PATH [--sysroot DIR] [--preload PATH]] [-- tool args...]
//   devuzeV7-bench --self-test [--scenario ...] [--out DIR] [--quiet]
#pragma once

#include <string>
#include <vector>

namespace bench {

struct Options {
    std::string scenario = "standard";
    std::string scenariosDir;
    std::string tool;
    std::string outDir;
    std::string emulator;
    std::string sysroot;
    std::string preload;
    int timeoutSec = 0;  // 0: the scenario's
    bool quiet = false;
    bool selfTest = false;
    bool help = false;
    std::vector<std::string> toolArgs;
};

bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);
std::string Usage();

}  // namespace bench
