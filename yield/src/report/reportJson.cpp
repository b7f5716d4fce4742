// The JSON report: each table of reportTables.h as an array of objects (the summary as one
// object), members in key order as a document held whole would write them.
#include <cstring>
#include <nlohmann/json.hpp>
#include <vector>

#include "report/jsonStream.h"
#include "report/reportTables.h"
#include "report/reportWriters.h"

namespace yield {

namespace {
using nlohmann::json;

constexpr char kFormat[] = "devuzeV7-yield-report";
constexpr int kVersion = 3;  // 3: a queued board's failures are objects

// Members of a row beyond its table's columns, in key order.
template <class Item>
using Extras = std::vector<std::pair<const char*, void (*)(JsonStream&, const Item&)>>;

// One row as an object: its columns' members and `extras`, merged in key order; an extra of a
// column's key takes the column's place (the structured form of a column people read as text).
template <class Item>
void Object(JsonStream& j, const ReportTable<Item>& t, const std::vector<size_t>& order,
            const Item& item, const Extras<Item>& extras) {
    j.OpenObject();
    auto extra = extras.begin();
    for (size_t i : order) {
        const Column<Item>& c = t.columns[i];
        for (; extra != extras.end() && std::strcmp(extra->first, c.key) < 0; ++extra) {
            j.Key(extra->first);
            extra->second(j, item);
        }
        if (extra != extras.end() && std::strcmp(extra->first, c.key) == 0) continue;
        j.Member(c.key, JsonValue(c.kind, c.read(item)));
    }
    for (; extra != extras.end(); ++extra) {
        j.Key(extra->first);
        extra->second(j, item);
    }
    j.Close();
}

template <class Item, class Items>
void List(JsonStream& j, const ReportTable<Item>& t, const Items& items,
          const Extras<Item>& extras = {}) {
    std::vector<size_t> order = KeyOrder(t);
    j.Key(t.jsonKey);
    j.OpenArray();
    for (const Item& item : items) {
        j.Item();
        Object(j, t, order, item, extras);
    }
    j.Close();
}

// The histogram, which may be long, item by item.
void Histogram(JsonStream& j, const AnalogueStats& a) {
    j.OpenArray();
    for (const auto& [h, n] : a.histogram) j.FlatItem({{"count", n}, {"volts", h / 100.0}});
    j.Close();
}

const Extras<AnalogueStats> kAnalogueExtras = {
    {"high", [](JsonStream& j, const AnalogueStats&) { j.Value(kAnalogueHigh); }},
    {"histogram", Histogram},
    {"low", [](JsonStream& j, const AnalogueStats&) { j.Value(kAnalogueLow); }},
};

// A queued board's failures as a list of objects, each cause once.
void Causes(JsonStream& j, const RepairRow& r) {
    json causes = json::array();
    for (const FailureCause& c : r.causes) causes.push_back(CauseJson(c));
    j.Value(causes);
}

const Extras<RepairRow> kRepairExtras = {{kRepairFailuresKey, Causes}};

}  // namespace

// Members in key order, as the document held whole used to write them, but for the repair
// queue, which comes first.
void WriteReportJson(const ReportModel& m, std::ostream& out) {
    JsonStream j(out);
    j.OpenObject();
    List(j, kRepairTable, m.repairs, kRepairExtras);
    List(j, kAlarmTable, m.alarms);
    List(j, kAnalogueTable, m.analogue, kAnalogueExtras);
    List(j, kClockTable, m.clockUnset);
    List(j, kDayTable, m.days);
    json definitions = json::object();
    for (const Definition& d : kDefinitions) definitions[d.term] = d.text;
    j.Member(kDefinitionTable.jsonKey, definitions);
    List(j, kFixtureTable, m.fixture);
    j.Member("flag_rule", {{"min_runs", kFlagMinRuns},
                           {"min_failures", kFlagMinFailures},
                           {"min_gap", kFlagMinGap},
                           {"min_ratio", kFlagMinRatio}});
    j.Member("format", kFormat);
    List(j, kIntermittentTable, m.intermittent);
    List(j, kParetoTable, m.pareto);
    List(j, kPortTrendTable, m.portTrend);
    List(j, kRetestTable, m.retests);
    j.Key(kSelectionTable.jsonKey);
    Object(j, kSelectionTable, KeyOrder(kSelectionTable), m.selection, {});
    List(j, kStationTrendTable, m.stationTrend);
    List(j, kStationTable, m.stations);
    j.Key(kSummaryTable.jsonKey);
    Object(j, kSummaryTable, KeyOrder(kSummaryTable), m.summary, {});
    j.Member("version", kVersion);
    j.Close();
    out << "\n";
}

}  // namespace yield
