#include "report/screenJson.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "report/reportTables.h"

namespace yield {
namespace {

using nlohmann::json;

// The members of the screen's rows, in the report's keys; `hidden` members are not columns.
template <class Row>
struct ScreenTable {
    const char* key;
    const ReportTable<Row>& table;
    std::vector<const char*> members;
    std::vector<const char*> hidden = {};
};

const ScreenTable<YieldSummary> kScreenSummary{
    "summary", kSummaryTable, {"runs", "boards", "first_pass_yield", "final_yield"}};
const ScreenTable<StationRow> kScreenStations{
    "stations", kStationTable, {"station", "runs", "boards", "first_pass_yield", "final_yield"}};
const ScreenTable<HourRow> kScreenHours{
    "hours", kHourTable, {"station", "hour", "boards", "first_pass_yield", "final_yield"}};
const ScreenTable<RepairRow> kScreenRepairTable{
    "repairs",
    kRepairTable,
    {"chip_id", "station", "start_stamp", "status", "queue_seconds", "failures"}};
const ScreenTable<FixtureCell> kScreenFlags{
    "flags", kFixtureTable, {"station", "port", "runs", "failures", "rate", "others_rate"}};
const ScreenTable<LatestRun> kScreenLatest{
    "latest",
    kLatestTable,
    {"id", "chip_id", "station", "host", "start_stamp", "verdict", "failing"},
    {"id"}};

constexpr char kRepairsTotal[] = "repairs_total";
constexpr char kDay[] = "day";
constexpr char kColumns[] = "columns";

bool Listed(const std::vector<const char*>& keys, const char* key) {
    return std::any_of(keys.begin(), keys.end(),
                       [key](const char* k) { return std::strcmp(k, key) == 0; });
}

const char* KindWord(CellKind kind) {
    switch (kind) {
        case CellKind::kInteger:
        case CellKind::kFraction:
            return kKindInteger;
        case CellKind::kRatio:
        case CellKind::kRatioCount:
            return kKindRatio;
        case CellKind::kFlag:
            return kKindFlag;
        case CellKind::kDecimals:
            return kKindDecimals;
        case CellKind::kLogText:
        case CellKind::kWord:
            break;
    }
    return kKindText;
}

// The HTML report's heading, else the text report's, else the key in words.
std::string Heading(const char* key, const HumanWords& heading) {
    if (heading.html != nullptr) return heading.html;
    if (heading.text != nullptr) return heading.text;
    std::string words = key;
    std::replace(words.begin(), words.end(), '_', ' ');
    return words;
}

// The table's columns that are the screen's members, in the table's order.
template <class Row>
std::vector<const Column<Row>*> MemberColumns(const ScreenTable<Row>& s) {
    std::vector<const Column<Row>*> out;
    for (const Column<Row>& c : s.table.columns)
        if (c.key != nullptr && Listed(s.members, c.key)) out.push_back(&c);
    return out;
}

template <class Row>
json ColumnsJson(const ScreenTable<Row>& s) {
    json out = json::array();
    for (const Column<Row>* c : MemberColumns(s)) {
        if (Listed(s.hidden, c->key)) continue;
        json column = {
            {"key", c->key}, {"heading", Heading(c->key, c->heading)}, {"kind", KindWord(c->kind)}};
        if (c->kind == CellKind::kDecimals) column["decimals"] = c->decimals;
        out.push_back(std::move(column));
    }
    return out;
}

template <class Row>
json RowJson(const std::vector<const Column<Row>*>& columns, const Row& r) {
    json out = json::object();
    for (const Column<Row>* c : columns) out[c->key] = JsonValue(c->kind, c->read(r));
    return out;
}

// The rows `keep` takes, at most `most` of them.
template <class Row, class Rows, class Keep>
json RowsJson(const ScreenTable<Row>& s, const Rows& rows, Keep keep,
              size_t most = static_cast<size_t>(-1)) {
    std::vector<const Column<Row>*> columns = MemberColumns(s);
    json out = json::array();
    for (const Row& r : rows) {
        if (out.size() == most) break;
        if (keep(r)) out.push_back(RowJson(columns, r));
    }
    return out;
}

template <class Row, class Rows>
json AllRows(const ScreenTable<Row>& s, const Rows& rows) {
    return RowsJson(s, rows, [](const Row&) { return true; });
}

}  // namespace

json ScreenJson(const ReportModel& m) {
    json flags = RowsJson(kScreenFlags, m.fixture, [](const FixtureCell& c) { return c.flagged; });
    json repairs = RowsJson(
        kScreenRepairTable, m.repairs, [](const RepairRow&) { return true; }, kScreenRepairs);
    return {{kDay, m.filter.since},
            {kScreenSummary.key, RowJson(MemberColumns(kScreenSummary), m.summary)},
            {kScreenStations.key, AllRows(kScreenStations, m.stations)},
            {kScreenHours.key, AllRows(kScreenHours, m.hours)},
            {kScreenRepairTable.key, std::move(repairs)},
            {kRepairsTotal, m.repairs.size()},
            {kScreenFlags.key, std::move(flags)},
            {kScreenLatest.key, AllRows(kScreenLatest, m.latest)},
            {kColumns,
             {{kScreenStations.key, ColumnsJson(kScreenStations)},
              {kScreenHours.key, ColumnsJson(kScreenHours)},
              {kScreenRepairTable.key, ColumnsJson(kScreenRepairTable)},
              {kScreenFlags.key, ColumnsJson(kScreenFlags)},
              {kScreenLatest.key, ColumnsJson(kScreenLatest)}}}};
}

}  // namespace yield
