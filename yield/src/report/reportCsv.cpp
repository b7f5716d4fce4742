// The CSV report: each table of reportTables.h as a block of lines, blocks separated by an empty
// line; the first column of every line names its table.
#include <string>
#include <vector>

#include "escape.h"
#include "reportTables.h"
#include "reportWriters.h"

namespace yield {
namespace {

constexpr char kTableColumn[] = "table";
constexpr char kLineEnd[] = "\r\n";

void Line(std::ostream& out, const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) out << (i ? "," : "") << cells[i];
    out << kLineEnd;
}

template <class Item>
std::vector<std::string> Head(const ReportTable<Item>& t) {
    std::vector<std::string> cells{kTableColumn};
    for (const Column<Item>& c : t.columns)
        if (c.key != nullptr) cells.push_back(c.key);
    return cells;
}

template <class Item>
std::vector<std::string> Cells(const ReportTable<Item>& t, const Item& item) {
    std::vector<std::string> cells{CsvCell(t.csvName)};
    for (const Column<Item>& c : t.columns)
        if (c.key != nullptr) cells.push_back(CsvText(c.kind, c.read(item)));
    return cells;
}

template <class Item, class Items>
void Block(std::ostream& out, const ReportTable<Item>& t, const Items& items) {
    Line(out, Head(t));
    for (const Item& item : items) Line(out, Cells(t, item));
}

}  // namespace

void WriteReportCsv(const ReportModel& m, std::ostream& out) {
    Block(out, kRepairTable, m.repairs);
    out << kLineEnd;
    Block(out, kSummaryTable, std::vector<YieldSummary>{m.summary});
    out << kLineEnd;
    Block(out, kRetestTable, m.retests);
    out << kLineEnd;
    Block(out, kParetoTable, m.pareto);
    out << kLineEnd;
    Block(out, kFixtureTable, m.fixture);
    out << kLineEnd;
    Block(out, kIntermittentTable, m.intermittent);
    out << kLineEnd;
    Block(out, kAnalogueTable, m.analogue);
    out << kLineEnd;
    Block(out, kDayTable, m.days);
}

}  // namespace yield
