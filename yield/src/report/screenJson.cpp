#include "report/screenJson.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "parse/calendar.h"
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

// The first `most` rows `keep` takes under the table's key, and how many it takes in all.
template <class Row, class Rows, class Keep>
void Head(json& out, const ScreenTable<Row>& s, const Rows& rows, Keep keep,
          size_t most = static_cast<size_t>(-1)) {
    out[s.key] = RowsJson(s, rows, keep, most);
    size_t total = 0;
    for (const Row& r : rows) total += keep(r) ? 1 : 0;
    out[std::string(s.key) + kTotalSuffix] = total;
}

}  // namespace

json ScreenJson(const ReportModel& m) {
    std::set<std::string> listed;
    for (size_t i = 0; i < m.stations.size() && i < kScreenRows; ++i)
        listed.insert(m.stations[i].station);
    auto flagged = [](const FixtureCell& c) { return c.flagged; };
    auto listedHour = [&listed](const HourRow& h) { return listed.count(h.station) > 0; };
    json out = {{kDay, m.filter.since},
                {kScreenSummary.key, RowJson(MemberColumns(kScreenSummary), m.summary)},
                {kScreenLatest.key, AllRows(kScreenLatest, m.latest)},
                {kColumns,
                 {{kScreenStations.key, ColumnsJson(kScreenStations)},
                  {kScreenHours.key, ColumnsJson(kScreenHours)},
                  {kScreenRepairTable.key, ColumnsJson(kScreenRepairTable)},
                  {kScreenFlags.key, ColumnsJson(kScreenFlags)},
                  {kScreenLatest.key, ColumnsJson(kScreenLatest)}}}};
    Head(
        out, kScreenStations, m.stations, [](const StationRow&) { return true; }, kScreenRows);
    out[kScreenHours.key] = RowsJson(kScreenHours, m.hours, listedHour);
    Head(
        out, kScreenRepairTable, m.repairs, [](const RepairRow&) { return true; }, kScreenRepairs);
    Head(out, kScreenFlags, m.fixture, flagged, kScreenRows);
    return out;
}

// ---- the wall screen ----

namespace {

constexpr long long kNanosPerSecond = 1000000000;
constexpr int kSecondsPerMinute = 60;
constexpr long kMinutesPerHour = 60;
constexpr char kIsoLocal[] = "%Y-%m-%dT%H:%M:%S";

// One station as the wall shows it.
struct WallStation {
    std::string name;
    bool expected = false;
    const StationRow* today = nullptr;  // its boards of the day; none yet when null
    long long lastUpload = -1;          // nanoseconds since the epoch; -1: none in the days seen
};

json TextOrNull(const std::string& text) { return text.empty() ? json(nullptr) : json(text); }

json YieldFigures(long long boards, double firstPass, double final, double target) {
    json out = {{"boards", boards}, {"band", YieldBand(firstPass, boards, target)}};
    out["first_pass_yield"] = boards > 0 ? json(firstPass) : json(nullptr);
    out["first_pass"] = boards > 0 ? json(Percent(firstPass)) : json(nullptr);
    out["final"] = boards > 0 ? json(Percent(final)) : json(nullptr);
    return out;
}

// The wall's stations by name, each once, in the order first named.
class WallStations {
public:
    WallStation& Named(const std::string& name) {
        auto [at, added] = index_.emplace(name, list_.size());
        if (added) list_.push_back(WallStation{name});
        return list_[at->second];
    }
    WallStation* Find(const std::string& name) {
        auto at = index_.find(name);
        return at == index_.end() ? nullptr : &list_[at->second];
    }
    // The list, handed over: no more names after this.
    std::vector<WallStation> Take() { return std::move(list_); }

private:
    std::vector<WallStation> list_;
    std::unordered_map<std::string, size_t> index_;
};

// The expected stations first (the line's order, else by name), then the others of the day.
std::vector<WallStation> ListWallStations(const ReportModel& m, const WallSettings& s,
                                          const std::vector<StationUpload>& uploads) {
    WallStations named;
    for (const std::string& name : s.stations) named.Named(name).expected = true;
    if (s.stations.empty()) {
        for (const StationUpload& u : uploads) named.Named(u.station).expected = true;
    }
    for (const StationRow& r : m.stations) {
        WallStation& w = named.Named(r.station);
        w.today = &r;
        w.expected = w.expected || s.stations.empty();
    }
    for (const StationUpload& u : uploads) {
        if (WallStation* w = named.Find(u.station)) w->lastUpload = u.mtime;
    }
    std::vector<WallStation> list = named.Take();
    auto order = [](const WallStation& a, const WallStation& b) {
        if (a.expected != b.expected) return a.expected;
        return !a.expected && a.name < b.name;
    };
    if (s.stations.empty()) {
        std::sort(list.begin(), list.end(),
                  [](const WallStation& a, const WallStation& b) { return a.name < b.name; });
    } else {
        std::stable_sort(list.begin(), list.end(), order);
    }
    return list;
}

json StationJson(const WallStation& w, double target) {
    json out = w.today != nullptr ? YieldFigures(w.today->boards, w.today->firstPassYield,
                                                 w.today->finalYield, target)
                                  : YieldFigures(0, 0, 0, target);
    out["station"] = w.name;
    out["expected"] = w.expected;
    std::string last;
    if (w.lastUpload >= 0)
        last = LocalIsoTime(static_cast<std::time_t>(w.lastUpload / kNanosPerSecond));
    out["last_upload"] = TextOrNull(last);
    return out;
}

}  // namespace

const char* YieldBand(double yield, long long boards, double target) {
    if (boards <= 0) return kBandNone;
    if (yield >= target) return kBandGood;
    return yield >= target - kTargetBand ? kBandWarn : kBandBad;
}

std::string LocalIsoTime(std::time_t when) {
    std::tm tm{};
    if (localtime_r(&when, &tm) == nullptr) return "";
    char text[64];
    if (std::strftime(text, sizeof text, kIsoLocal, &tm) == 0) return "";
    long offset = tm.tm_gmtoff / kSecondsPerMinute;
    char zone[32];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+',
                  std::labs(offset) / kMinutesPerHour, std::labs(offset) % kMinutesPerHour);
    return std::string(text) + zone;
}

std::string SeenSince(const std::string& today) {
    long long number = 0;
    if (!DayNumber(today, number)) return today;
    return DayText(number - (kSeenDays - 1));
}

json WallJson(const ReportModel& m, const WallSettings& s,
              const std::vector<StationUpload>& uploads, std::time_t now) {
    std::vector<WallStation> list = ListWallStations(m, s, uploads);
    json stations = json::array();
    for (const WallStation& w : list) {
        if (stations.size() == kWallStations) break;
        stations.push_back(StationJson(w, s.target));
    }
    const YieldSummary& sum = m.summary;
    return {{"now", LocalIsoTime(now)},
            {"target", s.target},
            {"target_text", Percent(s.target)},
            {"target_band", kTargetBand},
            {"quiet_minutes", s.quietMinutes},
            {"line", YieldFigures(sum.boards, sum.firstPassYield, sum.finalYield, s.target)},
            {"stations", std::move(stations)},
            {"stations_total", list.size()}};
}

}  // namespace yield
