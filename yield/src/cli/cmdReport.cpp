#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "commands.h"
#include "dbFiles.h"
#include "escape.h"
#include "outputFile.h"
#include "reportWriters.h"

namespace yield {
namespace {

struct ReportOptions {
    std::string db = kDefaultDb;
    RunFilter filter;
    std::string format = "text";
    std::string output;
};

constexpr char kNotADay[] = "not a day (YYYY-MM-DD): ";

int DaysInMonth(int year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool IsDay(const std::string& s) {
    bool ok = s.size() == 10 && s[4] == '-' && s[7] == '-';
    for (size_t i = 0; ok && i < s.size(); ++i) {
        if (i != 4 && i != 7 && !isdigit(static_cast<unsigned char>(s[i]))) ok = false;
    }
    if (!ok) return false;
    int year = std::stoi(s.substr(0, 4));
    int month = std::stoi(s.substr(5, 2));
    int day = std::stoi(s.substr(8, 2));
    return month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

const CLI::Validator kDay(
    [](std::string& s) -> std::string { return IsDay(s) ? std::string() : kNotADay + s; }, "DATE");

void Write(const ReportModel& m, const std::string& format, std::ostream& out) {
    if (format == "csv")
        WriteReportCsv(m, out);
    else if (format == "json")
        WriteReportJson(m, out);
    else if (format == "html")
        WriteReportHtml(m, out);
    else
        WriteReportText(m, out);
}

int RunReport(const ReportOptions& o) {
    if (RefuseDatabaseAsOutput("report", o.db, o.output)) return kExitUsage;
    ReportModel m;
    try {
        auto store = OpenStore(o.db, false);
        m = BuildReport(*store, o.filter);
    } catch (const StoreError& e) {
        std::fprintf(stderr, "devuzeV7-yield report: %s\n", e.what());
        return kExitDatabase;
    }
    if (o.output.empty() || o.output == "-") {
        Write(m, o.format, std::cout);
        std::cout.flush();
        return std::cout ? kExitOk : kExitOutput;
    }
    OutputFile out(o.output);
    if (out.ok()) Write(m, o.format, out.stream());
    if (!out.Commit()) {
        std::fprintf(stderr, "devuzeV7-yield report: cannot write %s\n", o.output.c_str());
        return kExitOutput;
    }
    return kExitOk;
}

}  // namespace

bool RefuseDatabaseAsOutput(const char* command, const std::string& db, const std::string& output) {
    if (output.empty() || output == "-" || !IsDatabaseFile(db, output)) return false;
    std::fprintf(stderr, "devuzeV7-yield %s: the output %s is the database's own file\n", command,
                 PrintableText(output).c_str());
    return true;
}

void AddRunFilterOptions(CLI::App& cmd, RunFilter& filter) {
    cmd.add_option("--since", filter.since, "first day (YYYY-MM-DD, inclusive)")->check(kDay);
    cmd.add_option("--until", filter.until, "last day (YYYY-MM-DD, inclusive)")->check(kDay);
    cmd.add_option("--host", filter.host, "only runs of this host name");
    // Swapped days would silently select nothing, a report that reads as a day without boards.
    cmd.parse_complete_callback([&filter] {
        if (!filter.since.empty() && !filter.until.empty() && filter.since > filter.until)
            throw CLI::ValidationError("--since " + filter.since + " is after --until " +
                                       filter.until);
    });
}

void AddReportCommand(CLI::App& app, int& status) {
    auto opts = std::make_shared<ReportOptions>();
    CLI::App* cmd = app.add_subcommand(
        "report",
        "Yield report over the stored runs: first-pass and final yield per processor ID, "
        "retests, the Pareto of failing ports, the fixture view (failure rate per host and "
        "port, flagged where one host stands apart), intermittent ports, analogue statistics "
        "with Cpk against 1.50 V and 1.70 V, and yield per day.");
    cmd->add_option("--db", opts->db, kDbHelp)->capture_default_str();
    AddRunFilterOptions(*cmd, opts->filter);
    cmd->add_option("--format", opts->format, "text, csv, json or html")
        ->check(CLI::IsMember({"text", "csv", "json", "html"}))
        ->capture_default_str();
    cmd->add_option("-o,--output", opts->output, "output file (default: standard output)");
    cmd->footer(kExitStatusHelp);
    cmd->callback([opts, &status] { status = RunReport(*opts); });
}

}  // namespace yield
