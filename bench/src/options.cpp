#include "options.h"

#include <getopt.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "text_util.h"

namespace bench {

namespace {

// Codes of the long options that have no short form.
enum OptionCode {
    kScenario = 256,
    kScenarios,
    kTool,
    kOut,
    kEmulator,
    kSysroot,
    kPreload,
    kTimeout,
    kQuiet,
    kSelfTest,
    kHostname,
    kCpuId,
};

const option kLongOptions[] = {
    {"scenario", required_argument, nullptr, kScenario},
    {"scenarios", required_argument, nullptr, kScenarios},
    {"tool", required_argument, nullptr, kTool},
    {"out", required_argument, nullptr, kOut},
    {"emulator", required_argument, nullptr, kEmulator},
    {"sysroot", required_argument, nullptr, kSysroot},
    {"preload", required_argument, nullptr, kPreload},
    {"timeout", required_argument, nullptr, kTimeout},
    {"hostname", required_argument, nullptr, kHostname},
    {"cpu-id", required_argument, nullptr, kCpuId},
    {"quiet", no_argument, nullptr, kQuiet},
    {"self-test", no_argument, nullptr, kSelfTest},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

// "+": stop at the first word that is no option; ":": report a missing value apart.
constexpr char kShortOptions[] = "+:h";

// The text options and the member each one fills.
std::string* TextTarget(int code, Options& options) {
    switch (code) {
        case kScenario:
            return &options.scenario;
        case kScenarios:
            return &options.scenariosDir;
        case kTool:
            return &options.tool;
        case kOut:
            return &options.outDir;
        case kEmulator:
            return &options.emulator;
        case kSysroot:
            return &options.sysroot;
        case kPreload:
            return &options.preload;
        default:
            return nullptr;
    }
}

bool ApplyOption(int code, const char* value, Options& options, std::string& error) {
    if (std::string* target = TextTarget(code, options)) {
        *target = value;
        return true;
    }
    long seconds = 0;
    switch (code) {
        case kHostname:
            options.hostname = value;
            return true;
        case kCpuId:
            options.cpuId = value;
            return true;
        case kQuiet:
            options.quiet = true;
            return true;
        case kSelfTest:
            options.selfTest = true;
            return true;
        case 'h':
            options.help = true;
            return true;
        case kTimeout:
            if (ParseInt(value, seconds) && seconds > 0 && seconds <= INT_MAX) {
                options.timeoutSec = static_cast<int>(seconds);
                return true;
            }
            error = "--timeout needs a number of seconds";
            return false;
        default:
            return false;
    }
}

// The word getopt_long stopped at, for a message.
std::string Offending(int argc, char* const* args) {
    int index = optind - 1;
    return index > 0 && index < argc ? args[index] : "?";
}

bool CheckCombinations(const Options& options, std::string& error) {
    if ((!options.sysroot.empty() || !options.preload.empty()) && options.emulator.empty()) {
        error = "--sysroot and --preload belong to --emulator";
        return false;
    }
    if (options.hostname && options.hostname->size() > kMaxHostnameBytes) {
        error = "--hostname takes at most " + std::to_string(kMaxHostnameBytes) + " bytes";
        return false;
    }
    return true;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
    // getopt_long does not reorder the words with "+"; it only reads them.
    char* const* args = const_cast<char* const*>(argv);
    optind = 0;  // a fresh scan, also when called again
    opterr = 0;
    int code = 0;
    const char* lastValue = nullptr;
    while ((code = getopt_long(argc, args, kShortOptions, kLongOptions, nullptr)) != -1) {
        if (code == '?') {
            error = "unknown option " + Offending(argc, args);
            return false;
        }
        if (code == ':') {
            error = Offending(argc, args) + " needs a value";
            return false;
        }
        if (!ApplyOption(code, optarg, options, error)) return false;
        lastValue = optarg;
    }
    bool afterDash = optind > 1 && optind <= argc && std::strcmp(argv[optind - 1], "--") == 0 &&
                     argv[optind - 1] != lastValue;
    if (optind < argc && !afterDash) {
        error = "unknown option " + std::string(argv[optind]);
        return false;
    }
    if (afterDash) options.toolArgs.assign(argv + optind, argv + argc);
    return CheckCombinations(options, error);
}

void ApplyRunOverrides(const Options& options, Scenario& scenario) {
    if (options.hostname) scenario.board.hostname = *options.hostname;
    if (options.cpuId) scenario.fuseId = *options.cpuId + "\n";
}

std::string Usage() {
    return "usage: devuzeV7-bench --scenario <name or dir> [--tool PATH] [--out DIR] [--quiet]\n"
           "                      [--scenarios DIR] [--timeout SEC]\n"
           "                      [--hostname NAME] [--cpu-id TEXT]\n"
           "                      [--emulator PATH [--sysroot DIR] [--preload PATH]]\n"
           "                      [-- tool args...]\n"
           "       devuzeV7-bench --self-test [--scenario ...] [--out DIR] [--quiet]\n"
           "Runs the devuzeV7 tool against a simulated board and fixture in private namespaces\n"
           "and writes record.json and the artifacts to the output folder\n"
           "(default ./bench-out/<scenario>-<time>).\n";
}

}  // namespace bench
