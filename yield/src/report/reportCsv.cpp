// The CSV report, one table per file as a spreadsheet reads it: one header row (the columns'
// keys), then the table's rows. Lines end in CRLF (RFC 4180).
#include <functional>
#include <string>
#include <vector>

#include "report/escape.h"
#include "report/reportTables.h"
#include "report/reportWriters.h"

namespace yield {
namespace {

constexpr char kLineEnd[] = "\r\n";

using TableWriter = std::function<void(const ReportModel&, std::ostream&)>;

struct CsvTable {
    std::string name;
    TableWriter write;
};

void Line(std::ostream& out, const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) out << (i ? "," : "") << cells[i];
    out << kLineEnd;
}

template <class Item>
std::vector<std::string> Head(const ReportTable<Item>& t) {
    std::vector<std::string> cells;
    for (const Column<Item>& c : t.columns)
        if (c.key != nullptr) cells.push_back(c.key);
    return cells;
}

template <class Item>
std::vector<std::string> Cells(const ReportTable<Item>& t, const Item& item) {
    std::vector<std::string> cells;
    for (const Column<Item>& c : t.columns)
        if (c.key != nullptr) cells.push_back(CsvText(c.kind, c.read(item)));
    return cells;
}

template <class Item, class Items>
void Write(std::ostream& out, const ReportTable<Item>& t, const Items& items) {
    Line(out, Head(t));
    for (const Item& item : items) Line(out, Cells(t, item));
}

// A table whose rows are a member of the model.
template <class Item, class Rows>
CsvTable Of(const ReportTable<Item>& t, Rows ReportModel::*rows) {
    return {t.csvName,
            [&t, rows](const ReportModel& m, std::ostream& out) { Write(out, t, m.*rows); }};
}

// The tables in report order; built on first use, after the definitions are.
const std::vector<CsvTable>& Tables() {
    static const std::vector<CsvTable> tables{
        Of(kRepairTable, &ReportModel::repairs),
        {kRepairPortTable.csvName,
         [](const ReportModel& m, std::ostream& out) {
             Line(out, Head(kRepairPortTable));
             ForEachRepairPort(m.repairs, [&out](const RepairPortRow& r) {
                 Line(out, Cells(kRepairPortTable, r));
             });
         }},
        {kSummaryTable.csvName,
         [](const ReportModel& m, std::ostream& out) {
             Write(out, kSummaryTable, std::vector<YieldSummary>{m.summary});
         }},
        Of(kRetestTable, &ReportModel::retests),
        Of(kParetoTable, &ReportModel::pareto),
        Of(kFixtureTable, &ReportModel::fixture),
        Of(kIntermittentTable, &ReportModel::intermittent),
        Of(kAnalogueTable, &ReportModel::analogue),
        Of(kDayTable, &ReportModel::days),
        Of(kClockTable, &ReportModel::clockUnset),
        Of(kStationTable, &ReportModel::stations),
        Of(kStationTrendTable, &ReportModel::stationTrend),
        Of(kPortTrendTable, &ReportModel::portTrend),
        Of(kAlarmTable, &ReportModel::alarms),
        {kDefinitionTable.csvName,
         [](const ReportModel&, std::ostream& out) { Write(out, kDefinitionTable, kDefinitions); }},
        {kSelectionTable.csvName,
         [](const ReportModel& m, std::ostream& out) {
             Write(out, kSelectionTable, std::vector<Selection>{m.selection});
         }},
    };
    return tables;
}

}  // namespace

std::vector<std::string> CsvTableNames() {
    std::vector<std::string> names;
    for (const CsvTable& t : Tables()) names.push_back(t.name);
    return names;
}

bool WriteReportCsvTable(const ReportModel& m, const std::string& name, std::ostream& out) {
    for (const CsvTable& t : Tables()) {
        if (t.name != name) continue;
        t.write(m, out);
        return true;
    }
    return false;
}

}  // namespace yield
