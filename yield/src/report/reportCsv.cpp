#include <cstdio>
#include <string>
#include <vector>

#include "escape.h"
#include "reportWriters.h"

namespace yield {
namespace {

// One cell: a number as it is, text through the formula guard (text here is the log's, or our
// own words that never start like a formula).
struct Cell {
    Cell(const std::string& text) : cell(CsvCell(text)) {}
    Cell(const char* text) : cell(CsvCell(text)) {}
    Cell(long long v) : cell(std::to_string(v)) {}
    Cell(double v) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.6g", v);
        cell = buf;
    }
    std::string cell;
};

void Line(std::ostream& out, const std::vector<Cell>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) out << (i ? "," : "") << cells[i].cell;
    out << "\r\n";
}

}  // namespace

// Blocks separated by an empty line; the first column of every row names its table.
void WriteReportCsv(const ReportModel& m, std::ostream& out) {
    const YieldSummary& s = m.summary;
    Line(out, {"table", "boards", "first_passed", "first_pass_yield", "final_passed", "final_yield",
               "retested_boards", "retest_runs", "recovered", "runs", "complete_runs",
               "incomplete_runs", "no_day_runs"});
    Line(out, {"summary", s.boards, s.firstPassed, s.firstPassYield, s.finalPassed, s.finalYield,
               s.retestedBoards, s.retestRuns, s.recovered, s.runs, s.completeRuns,
               s.incompleteRuns, s.noDayRuns});
    out << "\r\n";
    Line(out, {"table", "chip_id", "runs", "first_verdict", "final_verdict"});
    for (const RetestRow& r : m.retests) {
        Line(out, {"retest", r.chipId, r.runs, r.firstVerdict, r.finalVerdict});
    }
    out << "\r\n";
    Line(out, {"table", "port", "failures", "share", "cumulative_share"});
    for (const ParetoRow& r : m.pareto) {
        Line(out, {"pareto", r.port, r.failures, r.share, r.cumulative});
    }
    out << "\r\n";
    Line(out, {"table", "host", "port", "runs", "failures", "rate", "others_runs", "others_rate",
               "flagged"});
    for (const FixtureCell& c : m.fixture) {
        Line(out, {"fixture", c.host, c.port, c.runs, c.failures, c.rate, c.othersRuns,
                   c.othersRate, c.flagged ? "1" : "0"});
    }
    out << "\r\n";
    Line(out, {"table", "chip_id", "host", "start_stamp", "port"});
    for (const IntermittentRow& r : m.intermittent) {
        Line(out, {"intermittent", r.chipId, r.host, r.timeStamp, r.port});
    }
    out << "\r\n";
    Line(out, {"table", "input", "count", "mean", "stddev", "min", "max", "cpk", "outside"});
    for (const AnalogueStats& a : m.analogue) {
        Line(out, {"analogue", a.input, a.count, a.mean, a.stddev, a.min, a.max,
                   a.hasCpk ? Cell(a.cpk) : Cell(""), a.outside});
    }
    out << "\r\n";
    Line(out, {"table", "day", "runs", "passed", "yield", "incomplete"});
    for (const DayRow& d : m.days) {
        Line(out, {"day", d.day, d.runs, d.passed, d.yield, d.incomplete});
    }
}

}  // namespace yield
