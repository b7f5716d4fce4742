// devuzeV7-micro: the micro-benchmarks, then the table of side-by-side ratios. Runs every
// benchmark five times in random interleaving unless the command line says otherwise.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "micro_benchmarks.h"
#include "ratio_reporter.h"
#include "temp_dir.h"

namespace {
const char* const kDefaultFlags[] = {"--benchmark_repetitions=5",
                                     "--benchmark_enable_random_interleaving=true"};

// A reporter handed to the library does not follow --benchmark_color: colour only on a terminal
// and when not turned off.
benchmark::ConsoleReporter::OutputOptions ConsoleOptions(int argc, char** argv) {
    bool color = isatty(STDOUT_FILENO) != 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--benchmark_color=", 0) == 0) {
            std::string value = arg.substr(arg.find('=') + 1);
            color = value == "true" || value == "yes" || value == "1" ||
                    (value == "auto" && isatty(STDOUT_FILENO) != 0);
        }
    }
    return color ? benchmark::ConsoleReporter::OO_Color : benchmark::ConsoleReporter::OO_None;
}

// The defaults go first, so that the same flags given on the command line win.
std::vector<char*> WithDefaults(int argc, char** argv) {
    std::vector<char*> args{argv[0]};
    for (const char* flag : kDefaultFlags) args.push_back(const_cast<char*>(flag));
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    return args;
}
}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args = WithDefaults(argc, argv);
    int count = static_cast<int>(args.size()) - 1;
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    devbench::TempDir dir("devuzeV7-micro");
    std::string error;
    if (dir.Path().empty()) error = "cannot make a temporary folder";
    if (error.empty() && devbench::RegisterTraceLogBenchmarks(dir.Path(), error))
        devbench::RegisterIniBenchmarks(dir.Path(), error);
    if (!error.empty()) {
        std::cerr << "devuzeV7-micro: " << error << std::endl;
        return 1;
    }
    std::vector<devbench::RatioPair> pairs = devbench::TraceLogPairs();
    for (auto& pair : devbench::IniPairs()) pairs.push_back(pair);
    devbench::RatioReporter reporter(pairs, ConsoleOptions(argc, argv));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
