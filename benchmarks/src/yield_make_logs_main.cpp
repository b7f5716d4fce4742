// devuzeV7-yield-make-logs: writes COUNT made trace logs for the yield tool's benchmark, from the
// golden archives (each golden scenario's verdict-named flash copy; the hostile host-name ones are
// left out), 1,000 to a folder, named as the tool names its archives.
// Usage: devuzeV7-yield-make-logs [--mix harsh|line] GOLDEN_DIR OUT_DIR COUNT [HOSTS [FIRST]]
//   (FIRST: the number of the first run made, 0 unless told; the runs after a database of FIRST
//   made runs. The harsh mix, the default, takes the golden logs in turn, so five runs in six
//   fail, from 24 hosts unless told; the line's mix makes most runs pass, from 6 stations unless
//   told, see LineMix)
//        devuzeV7-yield-make-logs --forged-ports N GOLDEN_DIR OUT_FILE
//   (one log whose result document lists N ports, from the first golden log)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "traceLogFormat.h"
#include "yield_log_maker.h"

namespace fs = std::filesystem;

namespace {

// The flash copy's name, as the tool forms it.
std::string ArchiveName(const benchutil::MadeIdentity& id, const std::string& stamp, bool ok) {
    const char* verdict = ok ? tracefmt::kArchiveVerdictOk : tracefmt::kArchiveVerdictErr;
    std::vector<char> name(std::strlen(tracefmt::kArchiveNameFmt) + id.host.size() +
                           id.chipId.size() + stamp.size() + std::strlen(verdict) + 1);
    std::snprintf(name.data(), name.size(), tracefmt::kArchiveNameFmt, id.host.c_str(),
                  id.chipId.c_str(), stamp.c_str(), verdict);
    return name.data();
}

constexpr char kForgedOption[] = "--forged-ports";
constexpr char kMixOption[] = "--mix";
constexpr char kHarshMix[] = "harsh";
constexpr char kLineMix[] = "line";
constexpr long long kHarshHosts = 24;
constexpr long long kLineStations = 6;
constexpr long long kLogsPerFolder = 1000;
constexpr long long kMaxRuns = 1000000000;  // FIRST + COUNT: a thousand years of a line
// The failing golden log whose failing port (one digital input) the drifting station fails on.
constexpr char kDriftScenario[] = "dio-stuck-di5-0";

struct GoldenLog {
    std::string scenario;
    std::string text;
    bool ok = false;
};

std::vector<GoldenLog> GoldenLogs(const fs::path& golden) {
    std::vector<fs::path> files;
    for (const auto& scenario : fs::directory_iterator(golden)) {
        if (scenario.path().filename().string().rfind("hostname-", 0) == 0) continue;
        fs::path test = scenario.path() / "NandFlash" / "test";
        if (!fs::is_directory(test)) continue;
        for (const auto& f : fs::directory_iterator(test)) files.push_back(f.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<GoldenLog> logs;
    for (const fs::path& f : files) {
        std::ifstream in(f, std::ios::binary);
        GoldenLog log;
        log.scenario = f.parent_path().parent_path().parent_path().filename().string();
        log.text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        log.ok = log.text.find(tracefmt::kVerdictOk) != std::string::npos;
        logs.push_back(std::move(log));
    }
    return logs;
}

// The golden logs a line's runs are made from: the passing ones and the failing ones.
struct LineSources {
    std::vector<const GoldenLog*> passing, failing;
    int driftLog = 0;
};

LineSources SplitGolden(const std::vector<GoldenLog>& golden) {
    LineSources s;
    for (const GoldenLog& g : golden) {
        if (!g.ok && g.scenario == kDriftScenario) s.driftLog = static_cast<int>(s.failing.size());
        (g.ok ? s.passing : s.failing).push_back(&g);
    }
    return s;
}

struct Request {
    const char* golden = nullptr;
    fs::path out;
    long long count = 0, hosts = 0, first = 0;
    bool line = false;
};

// Writes the i-th made run into its folder of OUT_DIR.
bool WriteLog(const Request& r, long long i, const benchutil::MadeIdentity& id,
              const std::string& source) {
    benchutil::MadeLog made = benchutil::MakeLog(source, id);
    char dir[32];
    std::snprintf(dir, sizeof dir, "%04lld", i / kLogsPerFolder);
    fs::path folder = r.out / dir;
    if (i % kLogsPerFolder == 0 || i == r.first) fs::create_directories(folder);
    bool ok = made.text.find(tracefmt::kVerdictOk) != std::string::npos;
    fs::path file = folder / ArchiveName(id, made.timeStamp, ok);
    std::ofstream out(file, std::ios::binary);
    out << made.text;
    out.close();  // a full disk may only say so here
    if (!out) std::fprintf(stderr, "cannot write %s\n", file.c_str());
    return static_cast<bool>(out);
}

int MakeHarsh(const Request& r, const std::vector<GoldenLog>& golden) {
    for (long long i = r.first; i < r.first + r.count; ++i) {
        const std::string& source = golden[static_cast<size_t>(i) % golden.size()].text;
        if (!WriteLog(r, i, benchutil::NthIdentity(i, r.hosts), source)) return 1;
    }
    return 0;
}

int MakeLine(const Request& r, const std::vector<GoldenLog>& golden) {
    LineSources sources = SplitGolden(golden);
    if (sources.passing.empty() || sources.failing.empty()) {
        std::fprintf(stderr, "a line's mix needs passing and failing golden logs in %s\n",
                     r.golden);
        return 2;
    }
    benchutil::LineMix mix({r.hosts, static_cast<int>(sources.failing.size()), sources.driftLog});
    for (long long i = 0; i < r.first; ++i) mix.Next();
    for (long long i = r.first; i < r.first + r.count; ++i) {
        benchutil::LineRun run = mix.Next();
        const GoldenLog* source =
            run.pass ? sources.passing[static_cast<size_t>(i) % sources.passing.size()]
                     : sources.failing[static_cast<size_t>(run.failingLog)];
        if (!WriteLog(r, i, run.id, source->text)) return 1;
    }
    return 0;
}

int Forged(char** argv) {
    std::vector<GoldenLog> golden = GoldenLogs(argv[3]);
    if (golden.empty()) return 2;
    std::ofstream out(argv[4], std::ios::binary);
    out << benchutil::ForgedPortsLog(golden.front().text, std::atoll(argv[2]));
    out.close();
    return out ? 0 : 1;
}

int Usage(const char* self) {
    std::fprintf(stderr,
                 "usage: %s [%s %s|%s] GOLDEN_DIR OUT_DIR COUNT [HOSTS [FIRST]]\n"
                 "       %s %s N GOLDEN_DIR OUT_FILE\n",
                 self, kMixOption, kHarshMix, kLineMix, self, kForgedOption);
    return 2;
}

int Run(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == kForgedOption) return Forged(argv);
    Request r;
    int at = 1;
    if (argc > 2 && std::string(argv[1]) == kMixOption) {
        std::string mix = argv[2];
        if (mix != kHarshMix && mix != kLineMix) return Usage(argv[0]);
        r.line = mix == kLineMix;
        at = 3;
    }
    int positional = argc - at;
    if (positional < 3 || positional > 5) return Usage(argv[0]);
    r.golden = argv[at];
    r.out = argv[at + 1];
    r.count = std::atoll(argv[at + 2]);
    r.hosts = positional >= 4 ? std::atoll(argv[at + 3]) : (r.line ? kLineStations : kHarshHosts);
    r.first = positional == 5 ? std::atoll(argv[at + 4]) : 0;
    std::vector<GoldenLog> golden = GoldenLogs(r.golden);
    if (golden.empty() || r.count <= 0 || r.first < 0 || r.hosts <= 0 || r.count > kMaxRuns ||
        r.first > kMaxRuns - r.count) {
        std::fprintf(stderr, "%s: no golden logs in %s, or COUNT, HOSTS or FIRST out of range\n",
                     argv[0], r.golden);
        return 2;
    }
    int status = r.line ? MakeLine(r, golden) : MakeHarsh(r, golden);
    if (status == 0)
        std::printf("%lld logs from %zu golden logs in %s\n", r.count, golden.size(), argv[at + 1]);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {  // a folder that cannot be read or made
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
}
