// The HTML report: self-contained, the tables of reportTables.h and the charts of reportCharts.h,
// in the line screen's stylesheet (pageFiles.h).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "pageFiles.h"
#include "report/escape.h"
#include "report/reportCharts.h"
#include "report/reportSelection.h"
#include "report/reportTables.h"
#include "report/reportWriters.h"

namespace yield {
namespace {

constexpr char kMarkedRow[] = "flag";  // the class of a highlighted row
constexpr char kRestClass[] = "more";  // the line that counts the rows a head leaves out

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
    HeadRows shown = PeopleRows(t, items);
    for (size_t i : shown.rows) {
        const Item& item = items[i];
        std::vector<std::string> cells;
        for (const Column<Item>& c : t.columns)
            if (c.heading.html != nullptr) cells.push_back(HumanCell(c, item, Human::kHtml));
        Row(out, cells, false, t.Marked(item) ? kMarkedRow : nullptr);
    }
    out << "</table>\n";
    std::string rest = RestLine(shown, t.head.noun);
    if (!rest.empty()) out << "<p class=\"" << kRestClass << "\">" << H(rest) << "</p>\n";
}

void Tables(std::ostream& out, const ReportModel& m) {
    Title(out, kParetoTable.title.html);
    Table(out, kParetoTable, m.pareto);
    Title(out, kFixtureTable.title.html);
    WriteHeatMap(out, m);
    Table(out, kFixtureTable, m.fixture);
    Title(out, kIntermittentTable.title.html);
    Table(out, kIntermittentTable, m.intermittent);
    Title(out, kRetestTable.title.html);
    Table(out, kRetestTable, m.retests);
    Title(out, kAlarmTable.title.html);
    Table(out, kAlarmTable, m.alarms);
}

// What the report covers, where it comes from and when it was made, as label and value rows.
void SelectionTable(std::ostream& out, const ReportModel& m) {
    out << "<table id=\"selection\">";
    for (const auto& [label, value] : SelectionLines(m.selection)) {
        out << "<tr><th>" << H(label) << "</th><td>" << H(value) << "</td></tr>\n";
    }
    out << "</table>\n";
}

// The yields per day, per station and over time.
void YieldTables(std::ostream& out, const ReportModel& m) {
    Table(out, kDayTable, m.days);
    if (!m.clockUnset.empty()) {
        Title(out, kClockTable.title.html);
        Table(out, kClockTable, m.clockUnset);
    }
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
    for (size_t i : PeopleRows(kAnalogueTable, analogue).rows) {
        out << "<h3>" << H(analogue[i].input) << "</h3>\n";
        WriteHistogram(out, analogue[i]);
    }
}

}  // namespace

void WriteReportHtml(const ReportModel& m, std::ostream& out) {
    out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
           "style-src 'unsafe-inline'\"><title>devuzeV7 yield report</title><style>"
        << kStyleCss << "</style></head><body>\n<h1>devuzeV7 yield report</h1>\n";
    SelectionTable(out, m);
    Title(out, kRepairTable.title.html);
    Table(out, kRepairTable, m.repairs);
    Table(out, kSummaryTable, std::vector<YieldSummary>{m.summary});
    Table(out, kDefinitionTable, kDefinitions);
    out << "<h2>First-pass yield per day</h2>\n";
    WriteYieldChart(out, m.days, m.selection.target);
    out << "<h2>First-pass yield per station</h2>\n";
    WriteStationChart(out, m.stations, m.selection.target);
    YieldTables(out, m);
    out << "<h2>Pareto of failure causes</h2>\n";
    WriteParetoChart(out, m.causes);
    Tables(out, m);
    Analogue(out, m.analogue);
    out << "</body></html>\n";
}

}  // namespace yield
