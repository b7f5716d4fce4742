// devuzeV7-yield-make-logs: writes COUNT made trace logs for the yield tool's benchmark, from the
// golden archives (each golden scenario's verdict-named flash copy; the hostile host-name ones are
// left out), 1,000 to a folder, named as the tool names its archives.
// Usage: devuzeV7-yield-make-logs GOLDEN_DIR OUT_DIR COUNT [HOSTS [FIRST]]
//   (FIRST: the number of the first run made, 0 unless told; the runs after a database of FIRST
//   made runs)
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

std::vector<std::string> GoldenLogs(const fs::path& golden) {
    std::vector<fs::path> files;
    for (const auto& scenario : fs::directory_iterator(golden)) {
        if (scenario.path().filename().string().rfind("hostname-", 0) == 0) continue;
        fs::path test = scenario.path() / "NandFlash" / "test";
        if (!fs::is_directory(test)) continue;
        for (const auto& f : fs::directory_iterator(test)) files.push_back(f.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> logs;
    for (const fs::path& f : files) {
        std::ifstream in(f, std::ios::binary);
        logs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return logs;
}

}  // namespace

constexpr char kForgedOption[] = "--forged-ports";

int Forged(char** argv) {
    std::vector<std::string> golden = GoldenLogs(argv[3]);
    if (golden.empty()) return 2;
    std::ofstream out(argv[4], std::ios::binary);
    out << benchutil::ForgedPortsLog(golden.front(), std::atoll(argv[2]));
    return out ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == kForgedOption) return Forged(argv);
    if (argc < 4 || argc > 6) {
        std::fprintf(stderr,
                     "usage: %s GOLDEN_DIR OUT_DIR COUNT [HOSTS [FIRST]]\n"
                     "       %s %s N GOLDEN_DIR OUT_FILE\n",
                     argv[0], argv[0], kForgedOption);
        return 2;
    }
    std::vector<std::string> golden = GoldenLogs(argv[1]);
    long long count = std::atoll(argv[3]);
    long long hosts = argc >= 5 ? std::atoll(argv[4]) : 24;
    long long first = argc == 6 ? std::atoll(argv[5]) : 0;
    if (golden.empty() || count <= 0 || first < 0) {
        std::fprintf(stderr, "%s: no golden logs in %s, or no count\n", argv[0], argv[1]);
        return 2;
    }
    for (long long i = first; i < first + count; ++i) {
        benchutil::MadeIdentity id = benchutil::NthIdentity(i, hosts);
        const std::string& source = golden[static_cast<size_t>(i) % golden.size()];
        benchutil::MadeLog made = benchutil::MakeLog(source, id);
        char dir[32];
        std::snprintf(dir, sizeof dir, "%04lld", i / 1000);
        fs::path folder = fs::path(argv[2]) / dir;
        if (i % 1000 == 0 || i == first) fs::create_directories(folder);
        bool ok = made.text.find(tracefmt::kVerdictOk) != std::string::npos;
        std::string name = ArchiveName(id, made.timeStamp, ok);
        std::ofstream out(folder / name, std::ios::binary);
        out << made.text;
        if (!out) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], (folder / name).c_str());
            return 1;
        }
    }
    std::printf("%lld logs from %zu golden logs in %s\n", count, golden.size(), argv[2]);
    return 0;
}
