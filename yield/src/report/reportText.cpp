// The text report: each table of reportTables.h as aligned columns under its title.
#include <algorithm>
#include <string>
#include <vector>

#include "report/escape.h"
#include "report/reportSelection.h"
#include "report/reportTables.h"
#include "report/reportWriters.h"

namespace yield {
namespace {

using Row = std::vector<std::string>;

constexpr char kHeading[] = "devuzeV7 yield report";
constexpr char kNoRows[] = "  (none)\n\n";
constexpr char kNoDayRuns[] = "Runs whose stamp gives no day: ";
constexpr char kNoDayLeftOut[] = " (left out by the day bounds)";
constexpr char kNoDayCounted[] = " (counted above, in no day's row)";
constexpr char kLabelEnd[] = ": ";
constexpr char kDefinitionIndent[] = "  ";
constexpr char kRestIndent[] = "  ";  // the line that counts the rows a head leaves out

// A column as wide as its widest cell, heading included; numbers (and their headings) to the
// right of it, text to the left, so every cell lies under its heading.
struct Layout {
    std::vector<size_t> width;
    std::vector<bool> right;
};

bool IsNumber(CellKind kind) {
    switch (kind) {
        case CellKind::kInteger:
        case CellKind::kRatio:
        case CellKind::kDecimals:
        case CellKind::kFraction:
        case CellKind::kRatioCount:
            return true;
        case CellKind::kLogText:
        case CellKind::kWord:
        case CellKind::kFlag:
            break;
    }
    return false;
}

void Widen(Layout& layout, const Row& r) {
    for (size_t i = 0; i < r.size() && i < layout.width.size(); ++i)
        layout.width[i] = std::max(layout.width[i], r[i].size());
}

// One line; no spaces after its last cell.
std::string AlignedLine(const Layout& layout, const Row& r) {
    std::string line = " ";
    for (size_t i = 0; i < r.size() && i < layout.width.size(); ++i) {
        std::string pad(layout.width[i] - r[i].size(), ' ');
        line += " " + (layout.right[i] ? pad + r[i] : r[i] + pad);
    }
    line.erase(line.find_last_not_of(' ') + 1);
    return line + "\n";
}

void WriteAligned(std::ostream& out, const std::string& title, const Row& head,
                  const std::vector<bool>& right, const std::vector<Row>& rows,
                  const std::string& rest) {
    out << title << "\n";
    if (rows.empty()) {
        out << kNoRows;
        return;
    }
    Layout layout{std::vector<size_t>(head.size()), right};
    Widen(layout, head);
    for (const Row& r : rows) Widen(layout, r);
    out << AlignedLine(layout, head);
    for (const Row& r : rows) out << AlignedLine(layout, r);
    if (!rest.empty()) out << kRestIndent << rest << "\n";
    out << "\n";
}

template <class Item>
Row Cells(const ReportTable<Item>& t, const Item& item) {
    Row row;
    for (const Column<Item>& c : t.columns) {
        if (c.heading.text == nullptr) continue;
        std::string cell = HumanCell(c, item, Human::kText);
        row.push_back(c.kind == CellKind::kLogText ? PrintableText(cell) : cell);
    }
    return row;
}

template <class Item, class Items>
void Table(std::ostream& out, const ReportTable<Item>& t, const Items& items) {
    Row head;
    std::vector<bool> right;
    for (const Column<Item>& c : t.columns) {
        if (c.heading.text == nullptr) continue;
        head.push_back(c.heading.text);
        right.push_back(IsNumber(c.kind));
    }
    HeadRows shown = PeopleRows(t, items);
    std::vector<Row> rows;
    for (size_t i : shown.rows) rows.push_back(Cells<Item>(t, items[i]));
    WriteAligned(out, t.title.text, head, right, rows, RestLine(shown, t.head.noun));
}

void Heading(std::ostream& out, const ReportModel& m) {
    out << kHeading << "\n";
    for (const auto& [label, value] : SelectionLines(m.selection))
        out << label << kLabelEnd << PrintableText(value) << "\n";
    out << "\n";
}

void Definitions(std::ostream& out) {
    out << kDefinitionTable.title.text << "\n";
    for (const Definition& d : kDefinitions)
        out << kDefinitionIndent << d.term << kLabelEnd << d.text << "\n";
    out << "\n";
}

}  // namespace

void WriteReportText(const ReportModel& m, std::ostream& out) {
    Heading(out, m);
    Table(out, kRepairTable, m.repairs);
    Table(out, kSummaryTable, std::vector<YieldSummary>{m.summary});
    out << kNoDayRuns << m.summary.noDayRuns
        << (m.filter.HasDayBound() ? kNoDayLeftOut : kNoDayCounted) << "\n\n";
    Definitions(out);
    if (!m.clockUnset.empty()) Table(out, kClockTable, m.clockUnset);
    Table(out, kStationTable, m.stations);
    Table(out, kDayTable, m.days);
    Table(out, kStationTrendTable, m.stationTrend);
    Table(out, kPortTrendTable, m.portTrend);
    Table(out, kRetestTable, m.retests);
    Table(out, kParetoTable, m.pareto);
    Table(out, kFixtureTable, m.fixture);
    Table(out, kIntermittentTable, m.intermittent);
    Table(out, kAnalogueTable, m.analogue);
    Table(out, kAlarmTable, m.alarms);
}

}  // namespace yield
