// `report`: the yield report over the stored runs, in one of four formats. CSV is one table per
// file: `--table NAME` writes one, `-o FOLDER` writes each as FOLDER/NAME.csv.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <tuple>

#include "commands.h"
#include "openStore.h"
#include "options.h"
#include "printJson.h"
#include "readReport.h"
#include "reportSelection.h"
#include "reportWriters.h"

namespace yield {
namespace {

constexpr char kCsv[] = "csv";
constexpr char kHtml[] = "html";
constexpr char kCsvSuffix[] = ".csv";
constexpr char kTableHelp[] =
    "with --format csv: write only this table (its header row, then its rows)";
constexpr char kOutputHelp[] =
    "output file (default: standard output); with --format csv a folder (existing, or ending in "
    "/) gets one NAME.csv per table";
constexpr char kTableNotCsv[] = "--table is for --format csv only";
constexpr char kNoSuchTable[] = "no table named ";
constexpr char kCsvOneTable[] =
    "--format csv writes one table per file: name one with --table, or give -o a folder";
constexpr char kTableNames[] = "; the tables: ";
constexpr char kCannotCreate[] = "cannot create ";
constexpr char kWrote[] = "report: wrote ";
constexpr char kTodayHelp[] = "only today's runs (local time)";
constexpr char kDaysHelp[] = "only the runs of today and the N-1 days before (local time)";
constexpr char kBadDays[] = "N must be a whole number from 1 to ";
constexpr char kRecentConflict[] = "--today and --days conflict with --since and --until";
constexpr char kEpochVariable[] = "SOURCE_DATE_EPOCH";
constexpr char kBadEpoch[] = "SOURCE_DATE_EPOCH is not a whole number of seconds: ";

struct ReportOptions {
    RunFilter filter;
    std::string format = kFormatText;
    std::string output;
    std::string table;  // --format csv: the one table to write
    bool today = false;
    int days = 0;  // --days: 0 when not given
};

// --today and --days as a day range in the filter; a UsageError beside --since or --until.
void SelectRecentDays(ReportOptions& o) {
    int n = o.today ? 1 : o.days;
    if (n == 0) return;
    if (o.filter.HasDayBound()) throw UsageError(kRecentConflict);
    std::tie(o.filter.since, o.filter.until) = RecentDays(LocalDay(std::time(nullptr)), n);
}

std::string MadeAtStamp() {
    const char* epoch = std::getenv(kEpochVariable);
    std::time_t when = 0;
    if (!MadeAt(epoch, std::time(nullptr), when)) throw UsageError(kBadEpoch + std::string(epoch));
    return UtcStamp(when);
}

void Write(const ReportModel& m, const std::string& format, std::ostream& out) {
    if (format == kFormatJson)
        WriteReportJson(m, out);
    else if (format == kHtml)
        WriteReportHtml(m, out);
    else
        WriteReportText(m, out);
}

std::string TableList() {
    std::string list;
    for (const std::string& name : CsvTableNames()) list += (list.empty() ? "" : ", ") + name;
    return list;
}

bool IsFolder(const std::string& output) {
    std::error_code ec;
    return !IsStandardOutput(output) &&
           (output.back() == '/' || std::filesystem::is_directory(output, ec));
}

// The CSV tables the options ask for; a UsageError when they name none or no such table.
std::vector<std::string> CsvTablesAsked(const ReportOptions& o) {
    if (o.format != kCsv) {
        if (!o.table.empty()) throw UsageError(kTableNotCsv);
        return {};
    }
    std::vector<std::string> names = CsvTableNames();
    if (o.table.empty()) {
        if (!IsFolder(o.output)) throw UsageError(kCsvOneTable + (kTableNames + TableList()));
        return names;
    }
    if (std::find(names.begin(), names.end(), o.table) == names.end())
        throw UsageError(kNoSuchTable + o.table + kTableNames + TableList());
    return {o.table};
}

std::vector<std::string> CsvPaths(const std::string& folder,
                                  const std::vector<std::string>& names) {
    std::vector<std::string> paths;
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

ReportModel Build(const std::string& db, const RunFilter& filter, const std::string& madeAt) {
    ReadOptions o;
    o.madeAt = madeAt;
    o.database = DatabaseForPeople(db);
    return ReadReport(*OpenReadStore(db), filter, o);
}

int RunReport(const std::string& db, ReportOptions o) {
    SelectRecentDays(o);
    std::string madeAt = MadeAtStamp();
    std::vector<std::string> tables = CsvTablesAsked(o);
    bool folder = !tables.empty() && IsFolder(o.output);
    for (const std::string& path : folder ? CsvPaths(o.output, tables) : std::vector{o.output})
        RefuseDatabaseAsOutput(db, path);
    ReportModel m = Build(db, o.filter, madeAt);
    RefuseEmptySelection(o.filter, m.summary.runs);
    if (folder) return WriteCsvFolder(m, o.output, tables);
    auto write = [&](std::ostream& out) {
        if (tables.empty())
            Write(m, o.format, out);
        else
            WriteReportCsvTable(m, tables.front(), out);
    };
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
    AddRunFilterOptions(cmd, opts->filter);
    cmd.add_option("--format", opts->format, "text, csv, json or html")
        ->check(CLI::IsMember({kFormatText, kCsv, kFormatJson, kHtml}))
        ->capture_default_str();
    auto today = cmd.add_flag("--today", opts->today, kTodayHelp);
    const CLI::Validator daysInRange(
        [](std::string& v) -> std::string {
            int n = 0;
            return ParseDays(v, n) ? std::string()
                                   : kBadDays + std::to_string(kMostDays) + ": " + v;
        },
        "N");
    cmd.add_option("--days", opts->days, kDaysHelp)
        ->check(daysInRange)
        ->type_name("N")
        ->excludes(today);
    cmd.add_option("--table", opts->table, kTableHelp);
    cmd.add_option("-o,--output", opts->output, kOutputHelp);
    return [opts](const std::string& db) { return RunReport(db, *opts); };
}

}  // namespace yield
