// `ingest`: archived trace logs into the database, with progress on a terminal.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <memory>

#include "cli/commands.h"
#include "ingest/ingest.h"
#include "ingest/stationMarker.h"
#include "report/escape.h"
#include "store/dbFiles.h"
#include "store/openStore.h"

namespace yield {
namespace {

constexpr char kSkipped[] = "skipped";  // a file that holds no run, or cannot be read
constexpr char kNoted[] = "noted";      // a run stored cut to bounds
// After the figures, when some logs were not whole yet (watch): they are weighed again later.
constexpr char kHeldLead[] = "; ";
constexpr char kHeldTail[] = " held until quiet";
constexpr char kStationOption[] = "--station";
constexpr char kStationHelpLead[] =
    "the station (fixture) of every run found; without it, the nearest marker file ";
constexpr char kStationHelpTail[] = " above each log, up to the path given, names it";
constexpr char kStationName[] = "NAME";
constexpr char kClockUnsetLead[] = ", ";
constexpr char kClockUnsetTail[] =
    " runs with an unset clock (counted on the day their file arrived)";

void PrintProgress(const IngestStats& s) {
    static auto last = std::chrono::steady_clock::time_point();
    auto now = std::chrono::steady_clock::now();
    if (s.read != s.total && now - last < std::chrono::milliseconds(100)) return;
    last = now;
    double rate = s.seconds > 0 ? static_cast<double>(s.read) / s.seconds : 0;
    std::fprintf(stderr,
                 "\r\033[Kfiles %lld/%lld  runs new %lld  replaced %lld  copies %lld  "
                 "unchanged %lld  problems %lld  %.0f files/s",
                 s.read, s.total, s.runsNew, s.replaced, s.copies, s.unchanged, s.problems, rate);
}

// The progress line on a terminal, ended however the ingest ends (an error's line follows it).
class ProgressLine {
public:
    ProgressLine() : terminal_(isatty(STDERR_FILENO) != 0) {}
    ~ProgressLine() {
        if (terminal_) std::fputc('\n', stderr);
    }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    using Progress = void (*)(const IngestStats&);
    Progress callback() const { return terminal_ ? PrintProgress : nullptr; }

private:
    bool terminal_;
};

IngestStats IngestFiles(const std::string& db, const std::vector<std::string>& paths,
                        const std::string& station) {
    ProgressLine progress;
    auto store = OpenStore(db, true);
    return Ingest(*store, paths, progress.callback(), DatabaseFiles(db), station);
}

// A station name as a marker must hold it, trimmed.
const CLI::Validator kStation(
    [](std::string& s) -> std::string {
        std::string station, why;
        if (!ParseStation(s, station, why)) return why;
        s = station;
        return std::string();
    },
    kStationName);

void PrintSummary(const IngestStats& s) {
    PrintIngestProblems(s, stdout);
    std::printf("ingest: %s\n", IngestFigures(s).c_str());
}

}  // namespace

void PrintIngestProblems(const IngestStats& s, std::FILE* to) {
    for (const auto& [path, why] : s.problemList) {
        bool stored = why.rfind(kStoredCut, 0) == 0;
        std::fprintf(to, "%s %s: %s\n", stored ? kNoted : kSkipped, PrintableText(path).c_str(),
                     PrintableText(why).c_str());
    }
}

std::string IngestFigures(const IngestStats& s) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "%lld files, %lld runs new, %lld replaced, %lld copies, %lld unchanged, "
                  "%lld problems, %.2f s",
                  s.total, s.runsNew, s.replaced, s.copies, s.unchanged, s.problems, s.seconds);
    std::string figures = line;
    if (s.clockUnset > 0)
        figures += kClockUnsetLead + std::to_string(s.clockUnset) + kClockUnsetTail;
    if (!s.held.empty()) figures += kHeldLead + std::to_string(s.held.size()) + kHeldTail;
    return figures;
}

void AddStationOption(CLI::App& cmd, std::string& station) {
    cmd.add_option(kStationOption, station,
                   kStationHelpLead + std::string(kStationMarker) + kStationHelpTail)
        ->transform(kStation);
}

Handler AddIngestOptions(CLI::App& cmd) {
    auto paths = std::make_shared<std::vector<std::string>>();
    auto station = std::make_shared<std::string>();
    cmd.add_option("paths", *paths, "files and folders to read")->required();
    AddStationOption(cmd, *station);
    return [paths, station](const std::string& db) {
        IngestStats stats = IngestFiles(db, *paths, *station);
        PrintSummary(stats);
        return stats.missing > 0 ? kExitNotFound : kExitOk;
    };
}

}  // namespace yield
