// devuzeV7-micro: the micro-benchmarks, then the table of side-by-side ratios. Runs every
// benchmark five times in random interleaving unless the command line says otherwise.
#include <benchmark/benchmark.h>

#include <iostream>
#include <vector>

#include "micro_benchmarks.h"
#include "ratio_reporter.h"
#include "temp_dir.h"

namespace {
const char* const kDefaultFlags[] = {"--benchmark_repetitions=5",
                                     "--benchmark_enable_random_interleaving=true"};

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
    devbench::RatioReporter reporter(pairs);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
