#include <cstdio>
#include <string>
#include <vector>

#include "escape.h"
#include "reportWriters.h"

namespace yield {
namespace {

std::string F(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}
std::string N(long long v) { return std::to_string(v); }

void Line(std::ostream& out, const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) out << (i ? "," : "") << CsvCell(cells[i]);
    out << "\r\n";
}

}  // namespace

// Blocks separated by an empty line; the first column of every row names its table.
void WriteReportCsv(const ReportModel& m, std::ostream& out) {
    const YieldSummary& s = m.summary;
    Line(out, {"table", "boards", "first_passed", "first_pass_yield", "final_passed", "final_yield",
               "retested_boards", "retest_runs", "recovered", "runs", "complete_runs",
               "incomplete_runs"});
    Line(out, {"summary", N(s.boards), N(s.firstPassed), F(s.firstPassYield), N(s.finalPassed),
               F(s.finalYield), N(s.retestedBoards), N(s.retestRuns), N(s.recovered), N(s.runs),
               N(s.completeRuns), N(s.incompleteRuns)});
    out << "\r\n";
    Line(out, {"table", "chip_id", "runs", "first_verdict", "final_verdict"});
    for (const RetestRow& r : m.retests) {
        Line(out, {"retest", r.chipId, N(r.runs), r.firstVerdict, r.finalVerdict});
    }
    out << "\r\n";
    Line(out, {"table", "port", "failures", "share", "cumulative_share"});
    for (const ParetoRow& r : m.pareto) {
        Line(out, {"pareto", r.port, N(r.failures), F(r.share), F(r.cumulative)});
    }
    out << "\r\n";
    Line(out, {"table", "host", "port", "runs", "failures", "rate", "others_runs", "others_rate",
               "flagged"});
    for (const FixtureCell& c : m.fixture) {
        Line(out, {"fixture", c.host, c.port, N(c.runs), N(c.failures), F(c.rate), N(c.othersRuns),
                   F(c.othersRate), c.flagged ? "1" : "0"});
    }
    out << "\r\n";
    Line(out, {"table", "chip_id", "host", "start_stamp", "port"});
    for (const IntermittentRow& r : m.intermittent) {
        Line(out, {"intermittent", r.chipId, r.host, r.timeStamp, r.port});
    }
    out << "\r\n";
    Line(out, {"table", "input", "count", "mean", "stddev", "min", "max", "cpk", "outside"});
    for (const AnalogueStats& a : m.analogue) {
        Line(out, {"analogue", a.input, N(a.count), F(a.mean), F(a.stddev), F(a.min), F(a.max),
                   a.hasCpk ? F(a.cpk) : "", N(a.outside)});
    }
    out << "\r\n";
    Line(out, {"table", "day", "runs", "passed", "yield", "incomplete"});
    for (const DayRow& d : m.days) {
        Line(out, {"day", d.day, N(d.runs), N(d.passed), F(d.yield), N(d.incomplete)});
    }
}

}  // namespace yield
