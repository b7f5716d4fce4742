#include <cstdio>
#include <string>
#include <vector>

#include "escape.h"
#include "reportWriters.h"

namespace yield {
namespace {

using Row = std::vector<std::string>;

constexpr char kNoCpk[] = "none";
constexpr char kNoDayRuns[] = "Runs whose stamp gives no day: ";
constexpr char kNoDayLeftOut[] = " (left out by the day bounds)";
constexpr char kNoDayCounted[] = " (counted above, in no day's row)";

std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}
std::string Pct(double v) { return Fixed(v * 100, 1) + "%"; }
std::string Num(long long v) { return std::to_string(v); }

// Columns padded to their widest cell; numbers and text alike left-aligned after a title.
void Table(std::ostream& out, const std::string& title, const Row& head,
           const std::vector<Row>& rows) {
    out << title << "\n";
    if (rows.empty()) {
        out << "  (none)\n\n";
        return;
    }
    std::vector<size_t> w(head.size());
    for (size_t i = 0; i < head.size(); ++i) w[i] = head[i].size();
    for (const Row& r : rows) {
        for (size_t i = 0; i < r.size() && i < w.size(); ++i) w[i] = std::max(w[i], r[i].size());
    }
    auto line = [&](const Row& r) {
        out << " ";
        for (size_t i = 0; i < r.size(); ++i) {
            out << " " << r[i];
            if (i + 1 < r.size()) out << std::string(w[i] - r[i].size(), ' ');
        }
        out << "\n";
    };
    line(head);
    for (const Row& r : rows) line(r);
    out << "\n";
}

std::string T(const std::string& s) { return PrintableText(s); }

}  // namespace

void WriteReportText(const ReportModel& m, std::ostream& out) {
    const YieldSummary& s = m.summary;
    out << "devuzeV7 yield report";
    if (!m.filter.since.empty()) out << " since " << m.filter.since;
    if (!m.filter.until.empty()) out << " until " << m.filter.until;
    if (!m.filter.host.empty()) out << " host " << T(m.filter.host);
    out << "\n\n";
    Table(out, "Yield",
          {"boards", "first pass", "final", "retested boards", "retest runs", "recovered", "runs",
           "incomplete"},
          {{Num(s.boards), Pct(s.firstPassYield) + " (" + Num(s.firstPassed) + ")",
            Pct(s.finalYield) + " (" + Num(s.finalPassed) + ")", Num(s.retestedBoards),
            Num(s.retestRuns), Num(s.recovered), Num(s.runs), Num(s.incompleteRuns)}});
    out << kNoDayRuns << s.noDayRuns << (m.filter.HasDayBound() ? kNoDayLeftOut : kNoDayCounted)
        << "\n\n";
    std::vector<Row> rows;
    for (const RetestRow& r : m.retests) {
        rows.push_back({T(r.chipId), Num(r.runs), r.firstVerdict, r.finalVerdict});
    }
    Table(out, "Retested boards", {"processor ID", "runs", "first", "final"}, rows);
    rows.clear();
    for (const ParetoRow& r : m.pareto) {
        rows.push_back({T(r.port), Num(r.failures), Pct(r.share), Pct(r.cumulative)});
    }
    Table(out, "Failing ports (Pareto)", {"port", "failures", "share", "cumulative"}, rows);
    rows.clear();
    for (const FixtureCell& c : m.fixture) {
        if (c.failures == 0 && !c.flagged) continue;
        rows.push_back({T(c.host), T(c.port), Num(c.failures) + "/" + Num(c.runs), Pct(c.rate),
                        Pct(c.othersRate), c.flagged ? "FIXTURE?" : ""});
    }
    Table(out, "Fixture view (ports that failed on a host)",
          {"host", "port", "failed", "rate", "other hosts", "flag"}, rows);
    rows.clear();
    for (const IntermittentRow& r : m.intermittent) {
        rows.push_back({T(r.chipId), T(r.host), T(r.timeStamp), T(r.port)});
    }
    Table(out, "Intermittent ports (passed and failed within one run)",
          {"processor ID", "host", "start", "port"}, rows);
    rows.clear();
    for (const AnalogueStats& a : m.analogue) {
        rows.push_back({T(a.input), Num(a.count), Fixed(a.mean, 4), Fixed(a.stddev, 4),
                        Fixed(a.min, 2), Fixed(a.max, 2), a.hasCpk ? Fixed(a.cpk, 2) : kNoCpk,
                        Num(a.outside)});
    }
    Table(out, "Analogue inputs (V, limits 1.50 to 1.70)",
          {"input", "count", "mean", "stddev", "min", "max", "Cpk", "outside"}, rows);
    rows.clear();
    for (const DayRow& d : m.days) {
        rows.push_back({T(d.day), Num(d.runs), Num(d.passed), Pct(d.yield), Num(d.incomplete)});
    }
    Table(out, "Yield per day", {"day", "runs", "passed", "yield", "incomplete"}, rows);
}

}  // namespace yield
