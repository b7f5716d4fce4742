#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <cctype>

#include "cli/commands.h"
#include "parse/calendar.h"
#include "report/escape.h"
#include "report/outputFile.h"
#include "report/reportRequest.h"
#include "store/dbFiles.h"
#include "store/store.h"

namespace yield {
namespace {

constexpr char kStandardOutput[] = "-";
constexpr char kCannotWrite[] = "cannot write ";
constexpr char kStationHelp[] =
    "only runs of this station (or of this host name, for runs "
    "ingested without a station)";

const CLI::Validator kDay(
    [](std::string& s) -> std::string { return IsDay(s) ? std::string() : NotADay(s); }, "DATE");

}  // namespace

void AddRunFilterOptions(CLI::App& cmd, RunFilter& filter) {
    const Door door = Door::kCommandLine;
    cmd.add_option(Spelled(door, kSincePart), filter.since, "first day (YYYY-MM-DD, inclusive)")
        ->check(kDay);
    cmd.add_option(Spelled(door, kUntilPart), filter.until, "last day (YYYY-MM-DD, inclusive)")
        ->check(kDay);
    cmd.add_option(Spelled(door, kHostPart), filter.host, "only runs of this host name");
    cmd.add_option(Spelled(door, kStationPart), filter.station, kStationHelp);
    // Swapped days would silently select nothing, a report that reads as a day without boards.
    cmd.parse_complete_callback([&filter] {
        if (!filter.since.empty() && !filter.until.empty() && filter.since > filter.until)
            throw CLI::ValidationError(SwappedDays(Door::kCommandLine, filter));
    });
}

bool IsStandardOutput(const std::string& output) {
    return output.empty() || output == kStandardOutput;
}

void RefuseDatabaseAsOutput(const std::string& db, const std::string& output) {
    if (IsStandardOutput(output) || !IsDatabaseFile(db, output)) return;
    throw UsageError("the output " + PrintableText(output) + " is the database's own file");
}

void WriteOutputFile(const std::string& path, const std::function<void(std::ostream&)>& write) {
    OutputFile out(path);
    if (out.ok()) write(out.stream());
    if (!out.Commit()) throw OutputError(kCannotWrite + path);
}

}  // namespace yield
