#include "report/reportTables.h"

#include <cstdio>

#include "parse/calendar.h"
#include "report/escape.h"

namespace yield {
namespace {

constexpr char kNoNumber[] = "none";  // a number that does not exist, for people (no Cpk)
constexpr char kCsvSet[] = "1";
constexpr char kCsvUnset[] = "0";
constexpr char kFixtureMarkText[] = "FIXTURE?";
constexpr char kFixtureMarkHtml[] = "fixture?";
constexpr char kStartKey[] = "start";

// How a cell is read from a member of the row, by the member's type.
template <class Row>
std::function<CellValue(const Row&)> Read(std::string Row::*m) {
    return [m](const Row& r) { return CellValue{r.*m}; };
}
template <class Row>
std::function<CellValue(const Row&)> Read(long long Row::*m) {
    return [m](const Row& r) { return CellValue{{}, r.*m}; };
}
template <class Row>
std::function<CellValue(const Row&)> Read(double Row::*m) {
    return [m](const Row& r) { return CellValue{{}, 0, 0, r.*m}; };
}
template <class Row>
std::function<CellValue(const Row&)> Read(bool Row::*m) {
    return [m](const Row& r) { return CellValue{{}, 0, 0, 0, true, r.*m}; };
}

CellValue ReadQueueText(const RepairRow& r) {
    return CellValue{r.queueKnown ? QueueTimeText(r.queueSeconds) : ""};
}
CellValue ReadQueueSeconds(const RepairRow& r) {
    return CellValue{{}, r.queueSeconds, 0, 0, r.queueKnown};
}

// A start stamp as an ISO 8601 local time ("" when it is no time), for machines beside it.
template <class Row>
std::function<CellValue(const Row&)> IsoOf(std::string Row::*m) {
    return [m](const Row& r) { return CellValue{StampIso(r.*m)}; };
}

CellValue Number(bool present, double v) { return CellValue{{}, 0, 0, v, present}; }

const FailureCause& What(const RepairPortRow& r) { return r.what; }
bool Limited(const RepairPortRow& r) { return r.what.measured && r.what.hasLimits; }

CellValue RatioAndCount(double ratio, long long count) { return CellValue{{}, count, 0, ratio}; }

CellValue ReadCpk(const AnalogueStats& a) { return CellValue{{}, 0, 0, a.cpk, a.hasCpk}; }

CellValue FailedOfRuns(const FixtureCell& c) { return CellValue{{}, c.failures, c.runs}; }

bool PortTrendFailed(const PortTrendRow& r) { return r.failures > 0; }

bool CellFailedOrFlagged(const FixtureCell& c) { return c.failures > 0 || c.flagged; }
bool CellFlagged(const FixtureCell& c) { return c.flagged; }

// What people see first of a long list.
bool CellAhead(const FixtureCell& a, const FixtureCell& b) {
    if (a.flagged != b.flagged) return a.flagged;
    return a.failures > b.failures;
}
bool MoreBoards(const StationRow& a, const StationRow& b) { return a.boards > b.boards; }
const std::string& DayOf(const DayRow& d) { return d.day; }
const std::string& StationPeriod(const StationTrendRow& r) { return r.period; }
const std::string& PortPeriod(const PortTrendRow& r) { return r.period; }

// The words of the line that counts the rows a head leaves out.
constexpr char kRestLead[] = "... and ";
constexpr char kRestMore[] = " more ";
constexpr char kRestEarlier[] = " earlier ";
constexpr char kRestWhere[] = " (all of them: the JSON or CSV report)";
constexpr char kThousandsMark = ',';
constexpr size_t kThousandsDigits = 3;

}  // namespace

const ReportTable<RepairRow> kRepairTable{
    "repair",
    "repair_queue",
    {"Repair queue (last complete run failed, or no complete run)", "Repair queue"},
    {
        {"chip_id", {"processor ID", "processor ID"}, CellKind::kLogText, Read(&RepairRow::chipId)},
        {"station", {"station", "station"}, CellKind::kLogText, Read(&RepairRow::station)},
        {"start_stamp", {"start", "start"}, CellKind::kLogText, Read(&RepairRow::timeStamp)},
        {kStartKey, {}, CellKind::kLogText, IsoOf(&RepairRow::timeStamp)},
        {"status", {"status", "status"}, CellKind::kWord, Read(&RepairRow::status)},
        {nullptr, {"in queue", "in queue"}, CellKind::kWord, ReadQueueText},
        {"queue_seconds", {}, CellKind::kInteger, ReadQueueSeconds},
        {kRepairFailuresKey,
         {"failing ports", "failing ports"},
         CellKind::kLogText,
         Read(&RepairRow::failures)},
    },
    nullptr,
    nullptr,
    {"boards"}};

const ReportTable<RepairPortRow> kRepairPortTable{
    "repair_ports",
    "repair_ports",
    {},
    {
        {"chip_id", {}, CellKind::kLogText, Read(&RepairPortRow::chipId)},
        {"station", {}, CellKind::kLogText, Read(&RepairPortRow::station)},
        {"start_stamp", {}, CellKind::kLogText, Read(&RepairPortRow::timeStamp)},
        {kStartKey, {}, CellKind::kLogText, IsoOf(&RepairPortRow::timeStamp)},
        {"port", {}, CellKind::kLogText, Read(&RepairPortRow::port)},
        {"cause", {}, CellKind::kInteger, Read(&RepairPortRow::cause)},
        {"name",
         {},
         CellKind::kLogText,
         [](const RepairPortRow& r) { return CellValue{What(r).name}; }},
        {"value",
         {},
         CellKind::kDecimals,
         [](const RepairPortRow& r) { return Number(What(r).measured, What(r).value); }},
        {"text",
         {},
         CellKind::kLogText,
         [](const RepairPortRow& r) { return CellValue{What(r).text}; }},
        {"unit",
         {},
         CellKind::kLogText,
         [](const RepairPortRow& r) { return CellValue{What(r).unit}; }},
        {"low",
         {},
         CellKind::kDecimals,
         [](const RepairPortRow& r) { return Number(Limited(r), What(r).low); }},
        {"high",
         {},
         CellKind::kDecimals,
         [](const RepairPortRow& r) { return Number(Limited(r), What(r).high); }},
        {"expected",
         {},
         CellKind::kDecimals,
         [](const RepairPortRow& r) {
             return Number(Limited(r) && What(r).low == What(r).high, What(r).low);
         }},
        {"message",
         {},
         CellKind::kLogText,
         [](const RepairPortRow& r) { return CellValue{What(r).explained ? What(r).line : ""}; }},
    }};

const ReportTable<YieldSummary> kSummaryTable{
    "summary",
    "summary",
    {"Yield", nullptr},
    {
        {"boards", {"boards", "boards"}, CellKind::kInteger, Read(&YieldSummary::boards)},
        {nullptr,
         {"first pass", nullptr},
         CellKind::kRatioCount,
         [](const YieldSummary& s) { return RatioAndCount(s.firstPassYield, s.firstPassed); }},
        {"first_passed", {}, CellKind::kInteger, Read(&YieldSummary::firstPassed)},
        {"first_pass_yield",
         {nullptr, "first pass yield"},
         CellKind::kRatio,
         Read(&YieldSummary::firstPassYield)},
        {nullptr,
         {"final", nullptr},
         CellKind::kRatioCount,
         [](const YieldSummary& s) { return RatioAndCount(s.finalYield, s.finalPassed); }},
        {"final_passed", {}, CellKind::kInteger, Read(&YieldSummary::finalPassed)},
        {"final_yield",
         {nullptr, "final yield"},
         CellKind::kRatio,
         Read(&YieldSummary::finalYield)},
        {"retested_boards",
         {"retested boards", "retested boards"},
         CellKind::kInteger,
         Read(&YieldSummary::retestedBoards)},
        {"retest_runs",
         {"retest runs", "retest runs"},
         CellKind::kInteger,
         Read(&YieldSummary::retestRuns)},
        {"recovered", {"recovered", nullptr}, CellKind::kInteger, Read(&YieldSummary::recovered)},
        {"runs", {"runs", "runs"}, CellKind::kInteger, Read(&YieldSummary::runs)},
        {"complete_runs", {}, CellKind::kInteger, Read(&YieldSummary::completeRuns)},
        {"incomplete_runs",
         {"incomplete", "incomplete runs"},
         CellKind::kInteger,
         Read(&YieldSummary::incompleteRuns)},
        {"no_day_runs",
         {nullptr, "runs without a day"},
         CellKind::kInteger,
         Read(&YieldSummary::noDayRuns)},
    }};

const ReportTable<RetestRow> kRetestTable{
    "retest",
    "retests",
    {"Retested boards", "Retested boards"},
    {
        {"chip_id", {"processor ID", "processor ID"}, CellKind::kLogText, Read(&RetestRow::chipId)},
        {"runs", {"runs", "runs"}, CellKind::kInteger, Read(&RetestRow::runs)},
        {"first_verdict", {"first", "first"}, CellKind::kWord, Read(&RetestRow::firstVerdict)},
        {"final_verdict", {"final", "final"}, CellKind::kWord, Read(&RetestRow::finalVerdict)},
    },
    nullptr,
    nullptr,
    {"retested boards"}};

const ReportTable<ParetoRow> kParetoTable{
    "pareto",
    "pareto",
    {"Failing ports (Pareto)", "Failing ports"},
    {
        {"port", {"port", "port"}, CellKind::kLogText, Read(&ParetoRow::port)},
        {"failures", {"failures", "failures"}, CellKind::kInteger, Read(&ParetoRow::failures)},
        {"share", {"share", "share"}, CellKind::kRatio, Read(&ParetoRow::share)},
        {"cumulative_share",
         {"cumulative", "cumulative"},
         CellKind::kRatio,
         Read(&ParetoRow::cumulative)},
    },
    nullptr,
    nullptr,
    {"ports"}};

const ReportTable<FixtureCell> kFixtureTable{
    "fixture",
    "fixture",
    {"Fixture view (ports that failed on a station)", "Fixture view"},
    {
        {"station", {"station", "station"}, CellKind::kLogText, Read(&FixtureCell::host)},
        {"port", {"port", "port"}, CellKind::kLogText, Read(&FixtureCell::port)},
        {nullptr, {"failed", "failed"}, CellKind::kFraction, FailedOfRuns},
        {"runs", {}, CellKind::kInteger, Read(&FixtureCell::runs)},
        {"failures", {}, CellKind::kInteger, Read(&FixtureCell::failures)},
        {"rate", {"rate", "rate"}, CellKind::kRatio, Read(&FixtureCell::rate)},
        {"others_runs", {}, CellKind::kInteger, Read(&FixtureCell::othersRuns)},
        {"others_rate",
         {"other stations", "other stations"},
         CellKind::kRatio,
         Read(&FixtureCell::othersRate)},
        {"flagged",
         {"flag", "flag"},
         CellKind::kFlag,
         Read(&FixtureCell::flagged),
         0,
         {kFixtureMarkText, kFixtureMarkHtml}},
    },
    CellFailedOrFlagged,
    CellFlagged,
    {"station ports", CellAhead}};

const ReportTable<IntermittentRow> kIntermittentTable{
    "intermittent",
    "intermittent",
    {"Intermittent ports (passed and failed within one run)", "Intermittent ports"},
    {
        {"chip_id",
         {"processor ID", "processor ID"},
         CellKind::kLogText,
         Read(&IntermittentRow::chipId)},
        {"station", {"station", "station"}, CellKind::kLogText, Read(&IntermittentRow::station)},
        {"start_stamp", {"start", "start"}, CellKind::kLogText, Read(&IntermittentRow::timeStamp)},
        {kStartKey, {}, CellKind::kLogText, IsoOf(&IntermittentRow::timeStamp)},
        {"port", {"port", "port"}, CellKind::kLogText, Read(&IntermittentRow::port)},
    },
    nullptr,
    nullptr,
    {"intermittent ports"}};

const ReportTable<AnalogueStats> kAnalogueTable{
    "analogue",
    "analogue",
    {"Analogue inputs (V, limits 1.50 to 1.70)", "Analogue inputs"},
    {
        {"input", {"input", "input"}, CellKind::kLogText, Read(&AnalogueStats::input)},
        {"count", {"count", "count"}, CellKind::kInteger, Read(&AnalogueStats::count)},
        {"mean", {"mean", "mean"}, CellKind::kDecimals, Read(&AnalogueStats::mean), 4},
        {"stddev", {"stddev", "stddev"}, CellKind::kDecimals, Read(&AnalogueStats::stddev), 4},
        {"min", {"min", "min"}, CellKind::kDecimals, Read(&AnalogueStats::min), 2},
        {"max", {"max", "max"}, CellKind::kDecimals, Read(&AnalogueStats::max), 2},
        {"cpk", {"Cpk", "Cpk"}, CellKind::kDecimals, ReadCpk, 2},
        {"outside", {"outside", "outside"}, CellKind::kInteger, Read(&AnalogueStats::outside)},
    },
    nullptr,
    nullptr,
    {"inputs"}};

const ReportTable<DayRow> kDayTable{
    "day",
    "days",
    {"Yield per day (runs that day; boards first tested that day)", "Yield per day"},
    {
        {"day", {"day", "day"}, CellKind::kLogText, Read(&DayRow::day)},
        {"runs", {"runs", "runs"}, CellKind::kInteger, Read(&DayRow::runs)},
        {"passed", {"passed", "passed"}, CellKind::kInteger, Read(&DayRow::passed)},
        {"yield", {"run yield", "run yield"}, CellKind::kRatio, Read(&DayRow::yield)},
        {"incomplete", {"incomplete", "incomplete"}, CellKind::kInteger, Read(&DayRow::incomplete)},
        {"boards", {"boards", "boards"}, CellKind::kInteger, Read(&DayRow::boards)},
        {"first_passed", {}, CellKind::kInteger, Read(&DayRow::firstPassed)},
        {"first_pass_yield",
         {"first pass", "first pass yield"},
         CellKind::kRatio,
         Read(&DayRow::firstPassYield)},
        {"final_passed", {}, CellKind::kInteger, Read(&DayRow::finalPassed)},
        {"final_yield", {"final", "final yield"}, CellKind::kRatio, Read(&DayRow::finalYield)},
    },
    nullptr,
    nullptr,
    {"days", nullptr, DayOf}};

const ReportTable<StationRow> kStationTable{
    "station",
    "stations",
    {"Yield per station (boards by the station of their first run)", "Yield per station"},
    {
        {"station", {"station", "station"}, CellKind::kLogText, Read(&StationRow::station)},
        {"runs", {"runs", "runs"}, CellKind::kInteger, Read(&StationRow::runs)},
        {"boards", {"boards", "boards"}, CellKind::kInteger, Read(&StationRow::boards)},
        {"first_passed", {}, CellKind::kInteger, Read(&StationRow::firstPassed)},
        {"first_pass_yield",
         {"first pass", "first pass yield"},
         CellKind::kRatio,
         Read(&StationRow::firstPassYield)},
        {"final_passed", {}, CellKind::kInteger, Read(&StationRow::finalPassed)},
        {"final_yield", {"final", "final yield"}, CellKind::kRatio, Read(&StationRow::finalYield)},
        {"retest_runs",
         {"retest runs", "retest runs"},
         CellKind::kInteger,
         Read(&StationRow::retestRuns)},
    },
    nullptr,
    nullptr,
    {"stations", MoreBoards}};

const ReportTable<StationTrendRow> kStationTrendTable{
    "station_trend",
    "station_trend",
    {"First-pass yield per station over time", "First-pass yield per station over time"},
    {
        {"period", {"period", "period"}, CellKind::kLogText, Read(&StationTrendRow::period)},
        {"station", {"station", "station"}, CellKind::kLogText, Read(&StationTrendRow::station)},
        {"boards", {"boards", "boards"}, CellKind::kInteger, Read(&StationTrendRow::boards)},
        {"first_passed", {}, CellKind::kInteger, Read(&StationTrendRow::firstPassed)},
        {"first_pass_yield",
         {"first pass", "first pass yield"},
         CellKind::kRatio,
         Read(&StationTrendRow::firstPassYield)},
    },
    nullptr,
    nullptr,
    {"rows", nullptr, StationPeriod}};

const ReportTable<PortTrendRow> kPortTrendTable{
    "port_trend",
    "port_trend",
    {"Port failures over time (ports that failed)", "Port failures over time"},
    {
        {"period", {"period", "period"}, CellKind::kLogText, Read(&PortTrendRow::period)},
        {"port", {"port", "port"}, CellKind::kLogText, Read(&PortTrendRow::port)},
        {"runs", {"runs", "runs"}, CellKind::kInteger, Read(&PortTrendRow::runs)},
        {"failures", {"failures", "failures"}, CellKind::kInteger, Read(&PortTrendRow::failures)},
    },
    PortTrendFailed,
    nullptr,
    {"rows", nullptr, PortPeriod}};

// ---- The line screen's alarms: each column one figure or one step of the alarm's history.
CellValue ReadFigure(const std::optional<double> AlarmRow::*m, const AlarmRow& a) {
    const std::optional<double>& v = a.*m;
    return CellValue{{}, 0, 0, v.value_or(0), v.has_value()};
}

const ReportTable<AlarmRow> kAlarmTable{
    "alarms",
    "alarms",
    {"Alarms of the line screen (times UTC)", "Alarms of the line screen (times UTC)"},
    {
        {"id", {"alarm", "alarm"}, CellKind::kInteger, Read(&AlarmRow::id)},
        {"raised_at", {"raised", "raised"}, CellKind::kWord, Read(&AlarmRow::raisedAt)},
        {"kind", {"kind", "kind"}, CellKind::kWord, Read(&AlarmRow::kind)},
        {"station", {"station", "station"}, CellKind::kLogText, Read(&AlarmRow::station)},
        {"ports", {"ports", "ports"}, CellKind::kLogText, Read(&AlarmRow::ports)},
        {"boards", {"boards", "boards"}, CellKind::kInteger, Read(&AlarmRow::boards)},
        {"port_failure_rate",
         {"port failure rate", "port failure rate"},
         CellKind::kDecimals,
         [](const AlarmRow& a) { return ReadFigure(&AlarmRow::portFailureRate, a); },
         3},
        {"first_pass_yield",
         {"first-pass yield", "first-pass yield"},
         CellKind::kDecimals,
         [](const AlarmRow& a) { return ReadFigure(&AlarmRow::firstPassYield, a); },
         3},
        {"ended_at", {"ended", "ended"}, CellKind::kWord, Read(&AlarmRow::endedAt)},
        {"acknowledged_at",
         {"acknowledged", "acknowledged"},
         CellKind::kWord,
         Read(&AlarmRow::acknowledgedAt)},
        {"acknowledged_by", {"by", "by"}, CellKind::kLogText, Read(&AlarmRow::acknowledgedBy)},
        {"acknowledge_note",
         {"note", "note"},
         CellKind::kLogText,
         Read(&AlarmRow::acknowledgeNote)},
        {"cleared_at", {"cleared", "cleared"}, CellKind::kWord, Read(&AlarmRow::clearedAt)},
        {"cleared_by", {"by", "by"}, CellKind::kLogText, Read(&AlarmRow::clearedBy)},
        {"clear_note", {"note", "note"}, CellKind::kLogText, Read(&AlarmRow::clearNote)},
    },
    nullptr,
    nullptr,
    {"alarms"}};
// ---- end of the alarms

const ReportTable<Selection> kSelectionTable{
    "selection",
    "selection",
    {nullptr, nullptr},
    {
        {"since", {}, CellKind::kLogText, Read(&Selection::since)},
        {"until", {}, CellKind::kLogText, Read(&Selection::until)},
        {"host", {}, CellKind::kLogText, Read(&Selection::host)},
        {"station", {}, CellKind::kLogText, Read(&Selection::station)},
        {"first_day", {}, CellKind::kLogText, Read(&Selection::firstDay)},
        {"last_day", {}, CellKind::kLogText, Read(&Selection::lastDay)},
        {"trend_period", {}, CellKind::kWord, Read(&Selection::trendPeriod)},
        {"clock_unset_runs", {}, CellKind::kInteger, Read(&Selection::clockUnsetRuns)},
        {"made_at", {}, CellKind::kWord, Read(&Selection::madeAt)},
        {"database", {}, CellKind::kLogText, Read(&Selection::database)},
    }};

const ReportTable<ClockRow> kClockTable{
    "clock_unset",
    "clock_unset",
    {"Runs with an unset clock (counted on the day their file arrived)",
     "Runs with an unset clock"},
    {
        {"chip_id", {"processor ID", "processor ID"}, CellKind::kLogText, Read(&ClockRow::chipId)},
        {"station", {"station", "station"}, CellKind::kLogText, Read(&ClockRow::station)},
        {"start_stamp", {"stamped", "stamped"}, CellKind::kLogText, Read(&ClockRow::timeStamp)},
        {kStartKey, {}, CellKind::kLogText, IsoOf(&ClockRow::timeStamp)},
        {"arrival_day", {"arrived", "arrived"}, CellKind::kWord, Read(&ClockRow::arrivalDay)},
        {"verdict", {"verdict", "verdict"}, CellKind::kWord, Read(&ClockRow::verdict)},
    },
    nullptr,
    nullptr,
    {"runs"}};

const ReportTable<HourRow> kHourTable{
    "hour",
    "hours",
    {"Yield per station and hour (boards by the hour of their first run)", "Yield per hour"},
    {
        {"station", {"station", "station"}, CellKind::kLogText, Read(&HourRow::station)},
        {"hour", {"hour", "hour"}, CellKind::kInteger, Read(&HourRow::hour)},
        {"boards", {"boards", "boards"}, CellKind::kInteger, Read(&HourRow::boards)},
        {"first_passed", {}, CellKind::kInteger, Read(&HourRow::firstPassed)},
        {"first_pass_yield",
         {"first pass", "first pass yield"},
         CellKind::kRatio,
         Read(&HourRow::firstPassYield)},
        {"final_passed", {}, CellKind::kInteger, Read(&HourRow::finalPassed)},
        {"final_yield", {"final", "final yield"}, CellKind::kRatio, Read(&HourRow::finalYield)},
    }};

const ReportTable<LatestRun> kLatestTable{
    "latest",
    "latest",
    {"Latest runs", "Latest runs"},
    {
        {"id", {}, CellKind::kInteger, Read(&LatestRun::id)},
        {"chip_id", {"processor ID", "processor ID"}, CellKind::kLogText, Read(&LatestRun::chipId)},
        {"station", {"station", "station"}, CellKind::kLogText, Read(&LatestRun::station)},
        {"host", {"host", "host"}, CellKind::kLogText, Read(&LatestRun::host)},
        {"start_stamp", {"start", "start"}, CellKind::kLogText, Read(&LatestRun::timeStamp)},
        {"verdict", {"verdict", "verdict"}, CellKind::kWord, Read(&LatestRun::verdict)},
        {"failing",
         {"failing ports", "failing ports"},
         CellKind::kLogText,
         Read(&LatestRun::failing)},
    }};

const std::vector<Definition> kDefinitions{
    {"station",
     "a run's station, else its host name; a board belongs to the station of its first run"},
    {"boards",
     "processor IDs whose first run (by start time, of any day) is in the selection; a later "
     "day's retests count as that day's runs"},
    {"first_pass_yield",
     "share of the boards whose first run passed; an aborted (incomplete) run is an attempt that "
     "did not pass"},
    {"final_yield",
     "share of the boards whose last complete run passed, retests on any station and day "
     "included"},
    {"retest_runs",
     "runs of a board after its first, aborted ones and other stations' and days' included"},
    {"run_yield", "share of a day's complete runs that passed"},
    {"day_yields",
     "a day's first-pass and final yields are those of the boards first tested that day"},
    {"period",
     "trends are per day, or per ISO week (2026-W49) when the days span more than 31 days"},
    {"flag",
     "a station's failure rate for a port stands apart from the pooled rate of all other stations "
     "of the same days"},
};

const ReportTable<Definition> kDefinitionTable{
    "definitions",
    "definitions",
    {"Definitions", "Definitions"},
    {
        {"term", {"term", "term"}, CellKind::kWord, Read(&Definition::term)},
        {"definition", {"definition", "definition"}, CellKind::kWord, Read(&Definition::text)},
    }};

std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string Percent(double v) { return Fixed(v * 100, 1) + "%"; }

std::string Thousands(long long n) {
    unsigned long long size = static_cast<unsigned long long>(n);
    std::string digits = std::to_string(n < 0 ? 0 - size : size), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % kThousandsDigits == 0) out += kThousandsMark;
        out += digits[i];
    }
    return (n < 0 ? "-" : "") + out;
}

std::string RestLine(const HeadRows& head, const char* noun) {
    if (head.rest == 0 || noun == nullptr) return "";
    return kRestLead + Thousands(static_cast<long long>(head.rest)) +
           (head.earlier ? kRestEarlier : kRestMore) + noun + kRestWhere;
}

std::string HumanText(CellKind kind, const CellValue& v, int decimals, const char* mark) {
    switch (kind) {
        case CellKind::kLogText:
        case CellKind::kWord:
            return v.text;
        case CellKind::kInteger:
            return v.present ? std::to_string(v.count) : "";
        case CellKind::kRatio:
            return Percent(v.number);
        case CellKind::kDecimals:
            return v.present ? Fixed(v.number, decimals) : kNoNumber;
        case CellKind::kFlag:
            return v.flag && mark != nullptr ? mark : "";
        case CellKind::kFraction:
            return std::to_string(v.count) + "/" + std::to_string(v.of);
        case CellKind::kRatioCount:
            return Percent(v.number) + " (" + std::to_string(v.count) + ")";
    }
    return "";
}

std::string CsvText(CellKind kind, const CellValue& v) {
    switch (kind) {
        case CellKind::kLogText:
        case CellKind::kWord:
            return CsvCell(v.text);
        case CellKind::kInteger:
            return v.present ? std::to_string(v.count) : "";
        case CellKind::kFraction:
            return std::to_string(v.count);
        case CellKind::kFlag:
            return v.flag ? kCsvSet : kCsvUnset;
        case CellKind::kDecimals:
            if (!v.present) return "";
            break;
        case CellKind::kRatio:
        case CellKind::kRatioCount:
            break;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g", v.number);
    return buf;
}

nlohmann::json JsonValue(CellKind kind, const CellValue& v) {
    switch (kind) {
        case CellKind::kLogText:
        case CellKind::kWord:
            return v.text;
        case CellKind::kInteger:
            return v.present ? nlohmann::json(v.count) : nlohmann::json();
        case CellKind::kFraction:
            return v.count;
        case CellKind::kFlag:
            return v.flag;
        case CellKind::kDecimals:
            return v.present ? nlohmann::json(v.number) : nlohmann::json();
        case CellKind::kRatio:
        case CellKind::kRatioCount:
            break;
    }
    return v.number;
}

}  // namespace yield
