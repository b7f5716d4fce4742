// `report`: the yield report over the stored runs, in one of four formats.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "commands.h"
#include "openStore.h"
#include "options.h"
#include "reportWriters.h"

namespace yield {
namespace {

struct ReportOptions {
    RunFilter filter;
    std::string format = "text";
    std::string output;
};

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

ReportModel Build(const std::string& db, const RunFilter& filter) {
    auto store = OpenReadStore(db);
    return BuildReport(filter, ReportRowsOf(*store, filter));
}

int RunReport(const std::string& db, const ReportOptions& o) {
    RefuseDatabaseAsOutput(db, o.output);
    ReportModel m = Build(db, o.filter);
    RefuseEmptySelection(o.filter, m.summary.runs);
    if (IsStandardOutput(o.output)) {
        Write(m, o.format, std::cout);
        std::cout.flush();
        // A closed or full standard output: the status alone says so.
        return std::cout ? kExitOk : kExitOutput;
    }
    WriteOutputFile(o.output, [&](std::ostream& out) { Write(m, o.format, out); });
    return kExitOk;
}

}  // namespace

Handler AddReportOptions(CLI::App& cmd) {
    auto opts = std::make_shared<ReportOptions>();
    AddRunFilterOptions(cmd, opts->filter);
    cmd.add_option("--format", opts->format, "text, csv, json or html")
        ->check(CLI::IsMember({"text", "csv", "json", "html"}))
        ->capture_default_str();
    cmd.add_option("-o,--output", opts->output, "output file (default: standard output)");
    return [opts](const std::string& db) { return RunReport(db, *opts); };
}

}  // namespace yield
