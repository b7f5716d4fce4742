#include "options.h"

#include "text_util.h"

namespace bench {

namespace {
// Options that take a value, and where the value goes.
std::string* ValueTarget(const std::string& name, Options& options) {
    if (name == "--scenario") return &options.scenario;
    if (name == "--scenarios") return &options.scenariosDir;
    if (name == "--tool") return &options.tool;
    if (name == "--out") return &options.outDir;
    if (name == "--emulator") return &options.emulator;
    if (name == "--sysroot") return &options.sysroot;
    if (name == "--preload") return &options.preload;
    return nullptr;
}

bool ApplyFlag(const std::string& name, Options& options) {
    if (name == "--quiet")
        options.quiet = true;
    else if (name == "--self-test")
        options.selfTest = true;
    else if (name == "--help" || name == "-h")
        options.help = true;
    else
        return false;
    return true;
}
}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            options.toolArgs.assign(argv + i + 1, argv + argc);
            break;
        }
        if (ApplyFlag(arg, options)) continue;
        std::string timeout;
        std::string* target = arg == "--timeout" ? &timeout : ValueTarget(arg, options);
        if (target == nullptr) {
            error = "unknown option " + arg;
            return false;
        }
        if (i + 1 >= argc) {
            error = arg + " needs a value";
            return false;
        }
        *target = argv[++i];
        long seconds = 0;
        if (arg == "--timeout" && (!ParseInt(timeout, seconds) || seconds <= 0)) {
            error = "--timeout needs a number of seconds";
            return false;
        }
        if (arg == "--timeout") options.timeoutSec = static_cast<int>(seconds);
    }
    if ((!options.sysroot.empty() || !options.preload.empty()) && options.emulator.empty()) {
        error = "--sysroot and --preload belong to --emulator";
        return false;
    }
    return true;
}

std::string Usage() {
    return "usage: devuzeV7-bench --scenario <name or dir> [--tool PATH] [--out DIR] [--quiet]\n"
           "                      [--scenarios DIR] [--timeout SEC]\n"
           "                      [--emulator PATH [--sysroot DIR] [--preload PATH]]\n"
           "                      [-- tool args...]\n"
           "       devuzeV7-bench --self-test [--scenario ...] [--out DIR] [--quiet]\n"
           "Runs the devuzeV7 tool against a simulated board and fixture in private namespaces\n"
           "and writes record.json and the artifacts to the output folder\n"
           "(default ./bench-out/<scenario>-<time>).\n";
}

}  // namespace bench
