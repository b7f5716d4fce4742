// `report`: the yield report over the stored runs, in one of four formats. CSV is one table per
// file: `--table NAME` writes one, `-o FOLDER` writes each as FOLDER/NAME.csv.
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "cli/options.h"
#include "cli/printJson.h"
#include "report/readReport.h"
#include "report/reportRequest.h"
#include "report/reportSelection.h"
#include "report/reportWriters.h"
#include "store/openStore.h"

namespace yield {
namespace {

constexpr char kCsvSuffix[] = ".csv";
constexpr char kTableHelp[] =
    "with --format csv: write only this table (its header row, then its rows)";
constexpr char kOutputHelp[] =
    "output file (default: standard output); with --format csv a folder (existing, or ending in "
    "/) gets one NAME.csv per table";
constexpr char kCannotCreate[] = "cannot create ";
constexpr char kWrote[] = "report: wrote ";
constexpr char kTodayHelp[] = "only today's runs (local time)";
constexpr char kDaysHelp[] = "only the runs of today and the N-1 days before (local time)";
constexpr char kTargetHelp[] =
    "the first-pass yield the line aims at, in percent: the HTML charts draw against it "
    "(default 95)";
constexpr char kNotATarget[] = "--target-yield takes a percent from 0 to 100";
constexpr double kPercent = 100.0;
constexpr char kEpochVariable[] = "SOURCE_DATE_EPOCH";
constexpr char kBadEpoch[] = "SOURCE_DATE_EPOCH is not a whole number of seconds: ";

struct ReportOptions {
    ReportRequest request;
    std::string format;  // --format and --days as given, for the request
    std::string days;
    std::string output;
    double targetPercent = kDefaultTargetYield * kPercent;
};

std::time_t MadeAtTime() {
    const char* epoch = std::getenv(kEpochVariable);
    std::time_t when = 0;
    if (!MadeAt(epoch, std::time(nullptr), when)) throw UsageError(kBadEpoch + std::string(epoch));
    return when;
}

bool IsFolder(const std::string& output) {
    std::error_code ec;
    return !IsStandardOutput(output) &&
           (output.back() == '/' || std::filesystem::is_directory(output, ec));
}

std::vector<std::string> CsvPaths(const std::string& folder,
                                  const std::vector<std::string>& names) {
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const std::string& name : names)
        paths.push_back((std::filesystem::path(folder) / (name + kCsvSuffix)).string());
    return paths;
}

void MakeFolder(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir)) throw OutputError(kCannotCreate + dir);
}

// Each table a file of its own, written whole, and named on standard error once it is.
int WriteCsvFolder(const ReportModel& m, const std::string& folder,
                   const std::vector<std::string>& names) {
    MakeFolder(folder);
    std::vector<std::string> paths = CsvPaths(folder, names);
    for (size_t i = 0; i < names.size(); ++i) {
        WriteOutputFile(paths[i],
                        [&](std::ostream& out) { WriteReportCsvTable(m, names[i], out); });
        std::cerr << kWrote << paths[i] << "\n";
    }
    return kExitOk;
}

ReportModel Build(ReadStore& store, const std::string& db, const RunFilter& filter,
                  std::time_t madeAt, const ReportFormat& format) {
    ReadOptions o;
    o.quotedRepairs = QuotedRepairs(format);
    o.madeAt = UtcStamp(madeAt);
    o.now = madeAt;
    o.database = DatabaseForPeople(db, store.ServerName());
    return ReadReport(store, filter, o);
}

int RunReport(const std::string& db, ReportOptions o) {
    o.request.toFolder = IsFolder(o.output);
    ReportAsked asked = CheckReportRequest(o.request);
    RunFilter filter = asked.FilterFrom(LocalDay(std::time(nullptr)));
    std::time_t madeAt = MadeAtTime();
    bool folder = !asked.tables.empty() && o.request.toFolder;
    for (const std::string& path :
         folder ? CsvPaths(o.output, asked.tables) : std::vector{o.output})
        RefuseDatabaseAsOutput(db, path);
    // A range check lets NaN through.
    if (!(o.targetPercent >= 0 && o.targetPercent <= kPercent)) throw UsageError(kNotATarget);
    auto store = OpenReadStore(db);
    ReportModel m = Build(*store, db, filter, madeAt, *asked.format);
    RefuseEmptySelection(Door::kCommandLine, filter, m.summary.runs, *store);
    m.selection.target = o.targetPercent / kPercent;
    if (folder) return WriteCsvFolder(m, o.output, asked.tables);
    auto write = [&](std::ostream& out) { WriteAsked(m, asked, out); };
    if (IsStandardOutput(o.output)) {
        write(std::cout);
        std::cout.flush();
        // A closed or full standard output: the status alone says so.
        return std::cout ? kExitOk : kExitOutput;
    }
    WriteOutputFile(o.output, write);
    return kExitOk;
}

}  // namespace

Handler AddReportOptions(CLI::App& cmd) {
    auto opts = std::make_shared<ReportOptions>();
    const Door door = Door::kCommandLine;
    AddRunFilterOptions(cmd, opts->request.filter);
    opts->format = ReportFormats().front().name;
    cmd.add_option(Spelled(door, kFormatPart), opts->format, ReportFormatNames())
        ->capture_default_str();
    cmd.add_flag(Spelled(door, kTodayPart), opts->request.today, kTodayHelp);
    CLI::Option* days = cmd.add_option(Spelled(door, kDaysPart), opts->days, kDaysHelp);
    days->type_name("N");
    cmd.add_option(Spelled(door, kTablePart), opts->request.table, kTableHelp);
    cmd.add_option(std::string(kOutputPart) + ",--output", opts->output, kOutputHelp);
    cmd.add_option("--target-yield", opts->targetPercent, kTargetHelp)
        ->check(CLI::Range(0.0, 100.0))
        ->type_name("PCT");
    return [opts, days](const std::string& db) {
        opts->request.format = opts->format;
        if (days->count() > 0) opts->request.days = opts->days;
        return RunReport(db, *opts);
    };
}

}  // namespace yield
