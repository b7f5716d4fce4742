// The HTML report: self-contained, the tables of reportTables.h and inline SVG charts.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "escape.h"
#include "reportSelection.h"
#include "reportTables.h"
#include "reportWriters.h"

namespace yield {
namespace {

constexpr int kHistogramSpan = 200;
constexpr char kMarkedRow[] = "flag";  // the class of a highlighted row
// The heat map's rows at most; the tables below it keep every host.
constexpr size_t kHeatMapHosts = 200;
constexpr char kHeatMapShows[] = "The heat map shows ";
constexpr char kHeatMapOf[] = " of ";
constexpr char kHeatMapHostsWord[] = " hosts (most flags, then most failures, first); ";
constexpr char kHeatMapLeftOut[] = " left out.";

constexpr char kStyle[] =
    "body{font-family:sans-serif;margin:2em;color:#222}"
    "table{border-collapse:collapse;margin:.5em 0 1.5em}"
    "td,th{border:1px solid #bbb;padding:.2em .6em;text-align:left}"
    "th{background:#eee}.flag{background:#fcc;font-weight:bold}"
    "svg{display:block;margin:.5em 0 1.5em;font-size:11px}";

std::string H(const std::string& s) { return HtmlEscape(XmlSafe(s)); }

void Row(std::ostream& out, const std::vector<std::string>& cells, bool head = false,
         const char* cls = nullptr) {
    out << (cls ? std::string("<tr class=\"") + cls + "\">" : std::string("<tr>"));
    for (const std::string& c : cells)
        out << (head ? "<th>" : "<td>") << H(c) << (head ? "</th>" : "</td>");
    out << "</tr>\n";
}

void Title(std::ostream& out, const char* title) { out << "<h2>" << title << "</h2>\n"; }

// A table of reportTables.h: its columns for the HTML report, its rows people see.
template <class Item, class Items>
void Table(std::ostream& out, const ReportTable<Item>& t, const Items& items) {
    std::vector<std::string> head;
    for (const Column<Item>& c : t.columns)
        if (c.heading.html != nullptr) head.push_back(c.heading.html);
    out << "<table>";
    Row(out, head, true);
    for (const Item& item : items) {
        if (!t.ShownToPeople(item)) continue;
        std::vector<std::string> cells;
        for (const Column<Item>& c : t.columns)
            if (c.heading.html != nullptr) cells.push_back(HumanCell(c, item, Human::kHtml));
        Row(out, cells, false, t.Marked(item) ? kMarkedRow : nullptr);
    }
    out << "</table>\n";
}

void YieldPerDay(std::ostream& out, const std::vector<DayRow>& days) {
    const int barW = 40, h = 160, top = 10, left = 40;
    int w = left + static_cast<int>(days.size()) * barW + 20;
    out << "<svg id=\"chart-days\" width=\"" << w << "\" height=\"" << h + 60
        << "\" role=\"img\" aria-label=\"Yield per day\">\n";
    out << "<line x1=\"" << left << "\" y1=\"" << top + h << "\" x2=\"" << w << "\" y2=\""
        << top + h << "\" stroke=\"#444\"/>\n";
    for (int p = 0; p <= 100; p += 50) {
        int y = top + h - h * p / 100;
        out << "<text x=\"2\" y=\"" << y + 4 << "\">" << p << "%</text>\n";
    }
    for (size_t i = 0; i < days.size(); ++i) {
        int bh = static_cast<int>(days[i].yield * h);
        int x = left + static_cast<int>(i) * barW + 5;
        out << "<rect x=\"" << x << "\" y=\"" << top + h - bh << "\" width=\"" << barW - 10
            << "\" height=\"" << bh << "\" fill=\"#4a8\"><title>" << H(days[i].day) << ": "
            << Percent(days[i].yield) << " of " << days[i].runs << "</title></rect>\n";
        out << "<text x=\"" << x << "\" y=\"" << top + h + 14 << "\" transform=\"rotate(45 " << x
            << " " << top + h + 14 << ")\">" << H(days[i].day) << "</text>\n";
    }
    out << "</svg>\n";
}

void ParetoChart(std::ostream& out, const std::vector<ParetoRow>& rows) {
    const int rowH = 18, label = 90, width = 400;
    long long most = rows.empty() ? 1 : std::max<long long>(rows.front().failures, 1);
    out << "<svg id=\"chart-pareto\" width=\"" << label + width + 140 << "\" height=\""
        << rowH * static_cast<int>(rows.size()) + 10
        << "\" role=\"img\" aria-label=\"Failing ports\">\n";
    for (size_t i = 0; i < rows.size(); ++i) {
        int y = static_cast<int>(i) * rowH + 4;
        int bw = static_cast<int>(width * rows[i].failures / most);
        out << "<text x=\"0\" y=\"" << y + 12 << "\">" << H(rows[i].port) << "</text>"
            << "<rect x=\"" << label << "\" y=\"" << y << "\" width=\"" << bw << "\" height=\""
            << rowH - 4 << "\" fill=\"#c54\"/>"
            << "<text x=\"" << label + bw + 4 << "\" y=\"" << y + 12 << "\">" << rows[i].failures
            << " (" << Percent(rows[i].share) << ", cum. " << Percent(rows[i].cumulative)
            << ")</text>\n";
    }
    out << "</svg>\n";
}

// A host's cells in the fixture view, and what puts it ahead in the heat map.
struct HeatRow {
    uint32_t host = 0;
    size_t first = 0, end = 0;  // its cells
    long long flagged = 0, failures = 0;
};

// The kHeatMapHosts hosts with the most flagged cells, then the most failures, then by name.
std::vector<HeatRow> HeatRows(const ReportModel& m) {
    std::vector<HeatRow> rows;
    for (size_t i = 0; i < m.fixture.size(); ++i) {
        const FixtureView::Entry& e = m.fixture.entry(i);
        if (rows.empty() || rows.back().host != e.host) rows.push_back(HeatRow{e.host, i, i, 0, 0});
        HeatRow& r = rows.back();
        r.end = i + 1;
        r.failures += e.failures;
    }
    for (HeatRow& r : rows) {
        for (size_t i = r.first; i < r.end; ++i) r.flagged += m.fixture[i].flagged ? 1 : 0;
    }
    auto ahead = [](const HeatRow& a, const HeatRow& b) {
        if (a.flagged != b.flagged) return a.flagged > b.flagged;
        if (a.failures != b.failures) return a.failures > b.failures;
        return a.host < b.host;
    };
    size_t shown = std::min(rows.size(), kHeatMapHosts);
    std::partial_sort(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(shown), rows.end(),
                      ahead);
    rows.resize(shown);
    return rows;
}

void HeatMap(std::ostream& out, const ReportModel& m) {
    const int cell = 34, left = 140, top = 70;
    std::vector<HeatRow> rows = HeatRows(m);
    size_t leftOut = m.hosts.size() - rows.size();
    if (leftOut > 0) {
        out << "<p id=\"heatmap-left-out\">" << kHeatMapShows << rows.size() << kHeatMapOf
            << m.hosts.size() << kHeatMapHostsWord << leftOut << kHeatMapLeftOut << "</p>\n";
    }
    int w = left + cell * static_cast<int>(m.ports.size()) + 10;
    int h = top + cell * static_cast<int>(rows.size()) + 10;
    out << "<svg id=\"chart-heatmap\" width=\"" << w << "\" height=\"" << h
        << "\" role=\"img\" aria-label=\"Failure rate by host and port\">\n";
    for (size_t p = 0; p < m.ports.size(); ++p) {
        int x = left + static_cast<int>(p) * cell + cell / 2;
        out << "<text x=\"" << x << "\" y=\"" << top - 6 << "\" transform=\"rotate(-60 " << x << " "
            << top - 6 << ")\">" << H(m.ports[p]) << "</text>\n";
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        int y = top + static_cast<int>(r) * cell;
        std::string host = m.hosts[rows[r].host].substr(0, 20);
        out << "<text x=\"0\" y=\"" << y + cell / 2 + 4 << "\">" << H(host) << "</text>\n";
        for (size_t i = rows[r].first; i < rows[r].end; ++i) {
            FixtureCell c = m.fixture[i];
            size_t p = m.fixture.entry(i).port;
            int shade = 255 - static_cast<int>(c.rate * 200);
            out << "<rect x=\"" << left + static_cast<int>(p) * cell << "\" y=\"" << y
                << "\" width=\"" << cell - 2 << "\" height=\"" << cell - 2 << "\" fill=\"rgb(255,"
                << shade << "," << shade << ")\""
                << (c.flagged ? " stroke=\"#000\" stroke-width=\"3\"" : "") << "><title>"
                << H(c.host) << " " << H(c.port) << ": " << c.failures << "/" << c.runs
                << (c.flagged ? " (flagged)" : "") << "</title></rect>\n";
        }
    }
    out << "</svg>\n";
}

void Histogram(std::ostream& out, const AnalogueStats& a) {
    // The chart spans the readings and the limits, at most kHistogramSpan bins; readings beyond
    // it are counted in its first or last bin.
    int lo = std::max(std::min(a.histogram.begin()->first, 145), 150 - kHistogramSpan / 2);
    int hi = std::min(std::max(a.histogram.rbegin()->first, 175), 170 + kHistogramSpan / 2);
    std::map<int, long long> bins;
    for (const auto& [v, n] : a.histogram) bins[std::clamp(v, lo, hi)] += n;
    const int barW = 8, h = 120, top = 10, left = 10;
    long long most = 1;
    for (const auto& kv : bins) most = std::max(most, kv.second);
    int w = left + (hi - lo + 1) * barW + 10;
    out << "<svg class=\"chart-histogram\" width=\"" << w << "\" height=\"" << h + 40
        << "\" role=\"img\" aria-label=\"Histogram " << H(a.input) << "\">\n";
    for (const auto& [v, n] : bins) {
        int bh = static_cast<int>(h * n / most);
        out << "<rect x=\"" << left + (v - lo) * barW << "\" y=\"" << top + h - bh << "\" width=\""
            << barW - 1 << "\" height=\"" << bh << "\" fill=\"#48c\"><title>"
            << Fixed(v / 100.0, 2) + " V"
            << ": " << n << "</title></rect>\n";
    }
    for (int limit : {static_cast<int>(kAnalogueLow * 100 + 0.5),
                      static_cast<int>(kAnalogueHigh * 100 + 0.5)}) {
        int x = left + (limit - lo) * barW;
        out << "<line class=\"limit\" x1=\"" << x << "\" y1=\"" << top << "\" x2=\"" << x
            << "\" y2=\"" << top + h << "\" stroke=\"#c00\" stroke-dasharray=\"4 2\"/>"
            << "<text x=\"" << x - 12 << "\" y=\"" << top + h + 14 << "\">"
            << Fixed(limit / 100.0, 2) << "</text>\n";
    }
    out << "</svg>\n";
}

void Tables(std::ostream& out, const ReportModel& m) {
    Title(out, kParetoTable.title.html);
    Table(out, kParetoTable, m.pareto);
    Title(out, kFixtureTable.title.html);
    HeatMap(out, m);
    Table(out, kFixtureTable, m.fixture);
    Title(out, kIntermittentTable.title.html);
    Table(out, kIntermittentTable, m.intermittent);
    Title(out, kRetestTable.title.html);
    Table(out, kRetestTable, m.retests);
}

// What the report covers, where it comes from and when it was made, as label and value rows.
void SelectionTable(std::ostream& out, const ReportModel& m) {
    out << "<table>";
    for (const auto& [label, value] : SelectionLines(m)) {
        out << "<tr><th>" << H(label) << "</th><td>" << H(value) << "</td></tr>\n";
    }
    out << "</table>\n";
}

// The yields per day, per station and over time.
void YieldTables(std::ostream& out, const ReportModel& m) {
    Table(out, kDayTable, m.days);
    Title(out, kStationTable.title.html);
    Table(out, kStationTable, m.stations);
    Title(out, kStationTrendTable.title.html);
    Table(out, kStationTrendTable, m.stationTrend);
    Title(out, kPortTrendTable.title.html);
    Table(out, kPortTrendTable, m.portTrend);
}

void Analogue(std::ostream& out, const std::vector<AnalogueStats>& analogue) {
    Title(out, kAnalogueTable.title.html);
    Table(out, kAnalogueTable, analogue);
    for (const AnalogueStats& a : analogue) {
        out << "<h3>" << H(a.input) << "</h3>\n";
        Histogram(out, a);
    }
}

}  // namespace

void WriteReportHtml(const ReportModel& m, std::ostream& out) {
    out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
           "style-src 'unsafe-inline'\"><title>devuzeV7 yield report</title><style>"
        << kStyle << "</style></head><body>\n<h1>devuzeV7 yield report</h1>\n";
    SelectionTable(out, m);
    Title(out, kRepairTable.title.html);
    Table(out, kRepairTable, m.repairs);
    Table(out, kSummaryTable, std::vector<YieldSummary>{m.summary});
    Table(out, kDefinitionTable, kDefinitions);
    out << "<h2>Yield per day</h2>\n";
    YieldPerDay(out, m.days);
    YieldTables(out, m);
    out << "<h2>Pareto of failing ports</h2>\n";
    ParetoChart(out, m.pareto);
    Tables(out, m);
    Analogue(out, m.analogue);
    out << "</body></html>\n";
}

}  // namespace yield
