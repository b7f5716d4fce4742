#include "options.h"

#include <CLI/CLI.hpp>
#include <cctype>

#include "calendar.h"
#include "commands.h"
#include "dbFiles.h"
#include "escape.h"
#include "outputFile.h"
#include "store.h"

namespace yield {
namespace {

constexpr char kNotADay[] = "not a day (YYYY-MM-DD): ";
constexpr char kStandardOutput[] = "-";
constexpr char kCannotWrite[] = "cannot write ";
constexpr char kNothingSelected[] = "no stored run matches";
constexpr char kSince[] = "--since";
constexpr char kUntil[] = "--until";
constexpr char kHost[] = "--host";
constexpr char kStation[] = "--station";
constexpr char kStationHelp[] =
    "only runs of this station (or of this host name, for runs "
    "ingested without a station)";

void DescribeBound(std::string& out, const char* option, const std::string& value) {
    if (!value.empty()) out += std::string(" ") + option + " " + PrintableText(value);
}

const CLI::Validator kDay(
    [](std::string& s) -> std::string { return IsDay(s) ? std::string() : kNotADay + s; }, "DATE");

}  // namespace

void AddRunFilterOptions(CLI::App& cmd, RunFilter& filter) {
    cmd.add_option(kSince, filter.since, "first day (YYYY-MM-DD, inclusive)")->check(kDay);
    cmd.add_option(kUntil, filter.until, "last day (YYYY-MM-DD, inclusive)")->check(kDay);
    cmd.add_option(kHost, filter.host, "only runs of this host name");
    cmd.add_option(kStation, filter.station, kStationHelp);
    // Swapped days would silently select nothing, a report that reads as a day without boards.
    cmd.parse_complete_callback([&filter] {
        if (!filter.since.empty() && !filter.until.empty() && filter.since > filter.until)
            throw CLI::ValidationError("--since " + filter.since + " is after --until " +
                                       filter.until);
    });
}

void RefuseEmptySelection(const RunFilter& filter, long long runs) {
    std::string named;
    DescribeBound(named, kSince, filter.since);
    DescribeBound(named, kUntil, filter.until);
    DescribeBound(named, kHost, filter.host);
    DescribeBound(named, kStation, filter.station);
    if (runs == 0 && !named.empty()) throw NotFoundError(kNothingSelected + named);
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
