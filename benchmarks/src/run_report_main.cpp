// devuzeV7-run-report [--bare-kb N] --run LABEL RECORD.json [WATCH.json] [--run ...]
// Prints the whole-run table (run_report.h) for the records of devuzeV7-bench.
#include <fstream>
#include <iostream>

#include "run_report.h"

namespace {
bool ReadJson(const std::string& path, nlohmann::json& value) {
    std::ifstream in(path);
    if (!in) return false;
    value = nlohmann::json::parse(in, nullptr, false);
    return !value.is_discarded();
}

int Usage() {
    std::cerr << "usage: devuzeV7-run-report [--bare-kb N] --run LABEL RECORD.json [WATCH.json]"
                 " [--run ...]\n";
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    long bareKb = -1;
    std::vector<devbench::RunFigures> runs;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--bare-kb" && i + 1 < argc) {
            bareKb = atol(argv[++i]);
        } else if (arg == "--run" && i + 2 < argc) {
            devbench::RunInput input;
            input.label = argv[++i];
            std::string recordPath = argv[++i];
            if (!ReadJson(recordPath, input.record)) {
                std::cerr << "devuzeV7-run-report: cannot read " << recordPath << "\n";
                return 1;
            }
            if (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0)
                ReadJson(argv[++i], input.watch);
            runs.push_back(devbench::Summarize(input));
        } else {
            return Usage();
        }
    }
    if (runs.empty()) return Usage();
    std::cout << devbench::FormatRuns(runs, bareKb);
    return 0;
}
