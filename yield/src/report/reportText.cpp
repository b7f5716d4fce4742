// The text report: each table of reportTables.h as aligned columns under its title.
#include <string>
#include <vector>

#include "escape.h"
#include "reportTables.h"
#include "reportWriters.h"

namespace yield {
namespace {

using Row = std::vector<std::string>;

constexpr char kHeading[] = "devuzeV7 yield report";
constexpr char kNoRows[] = "  (none)\n\n";
constexpr char kNoDayRuns[] = "Runs whose stamp gives no day: ";
constexpr char kNoDayLeftOut[] = " (left out by the day bounds)";
constexpr char kNoDayCounted[] = " (counted above, in no day's row)";

// Columns padded to their widest cell; numbers and text alike left-aligned after a title.
void WriteAligned(std::ostream& out, const std::string& title, const Row& head,
                  const std::vector<Row>& rows) {
    out << title << "\n";
    if (rows.empty()) {
        out << kNoRows;
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
    for (const Column<Item>& c : t.columns)
        if (c.heading.text != nullptr) head.push_back(c.heading.text);
    std::vector<Row> rows;
    for (const Item& item : items)
        if (t.ShownToPeople(item)) rows.push_back(Cells(t, item));
    WriteAligned(out, t.title.text, head, rows);
}

void Heading(std::ostream& out, const RunFilter& filter) {
    out << kHeading;
    if (!filter.since.empty()) out << " since " << filter.since;
    if (!filter.until.empty()) out << " until " << filter.until;
    if (!filter.host.empty()) out << " host " << PrintableText(filter.host);
    out << "\n\n";
}

}  // namespace

void WriteReportText(const ReportModel& m, std::ostream& out) {
    Heading(out, m.filter);
    Table(out, kRepairTable, m.repairs);
    Table(out, kSummaryTable, std::vector<YieldSummary>{m.summary});
    out << kNoDayRuns << m.summary.noDayRuns
        << (m.filter.HasDayBound() ? kNoDayLeftOut : kNoDayCounted) << "\n\n";
    Table(out, kRetestTable, m.retests);
    Table(out, kParetoTable, m.pareto);
    Table(out, kFixtureTable, m.fixture);
    Table(out, kIntermittentTable, m.intermittent);
    Table(out, kAnalogueTable, m.analogue);
    Table(out, kDayTable, m.days);
}

}  // namespace yield
