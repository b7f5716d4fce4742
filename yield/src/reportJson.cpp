#include <nlohmann/json.hpp>

#include "reportWriters.h"

namespace yield {

namespace {
using nlohmann::json;

json Summary(const YieldSummary& s) {
    return {{"boards", s.boards},
            {"first_passed", s.firstPassed},
            {"first_pass_yield", s.firstPassYield},
            {"final_passed", s.finalPassed},
            {"final_yield", s.finalYield},
            {"retested_boards", s.retestedBoards},
            {"retest_runs", s.retestRuns},
            {"recovered", s.recovered},
            {"runs", s.runs},
            {"complete_runs", s.completeRuns},
            {"incomplete_runs", s.incompleteRuns},
            {"no_day_runs", s.noDayRuns}};
}

json Analogue(const AnalogueStats& a) {
    json hist = json::array();
    for (const auto& [h, n] : a.histogram) hist.push_back({{"volts", h / 100.0}, {"count", n}});
    return {{"input", a.input},
            {"count", a.count},
            {"mean", a.mean},
            {"stddev", a.stddev},
            {"min", a.min},
            {"max", a.max},
            {"cpk", a.hasCpk ? json(a.cpk) : json()},
            {"outside", a.outside},
            {"low", kAnalogueLow},
            {"high", kAnalogueHigh},
            {"histogram", hist}};
}
}  // namespace

void WriteReportJson(const ReportModel& m, std::ostream& out) {
    json j;
    j["format"] = "devuzeV7-yield-report";
    j["version"] = 1;
    j["filter"] = {{"since", m.filter.since}, {"until", m.filter.until}, {"host", m.filter.host}};
    j["summary"] = Summary(m.summary);
    j["retests"] = json::array();
    for (const RetestRow& r : m.retests) {
        j["retests"].push_back({{"chip_id", r.chipId},
                                {"runs", r.runs},
                                {"first_verdict", r.firstVerdict},
                                {"final_verdict", r.finalVerdict}});
    }
    j["pareto"] = json::array();
    for (const ParetoRow& r : m.pareto) {
        j["pareto"].push_back({{"port", r.port},
                               {"failures", r.failures},
                               {"share", r.share},
                               {"cumulative_share", r.cumulative}});
    }
    j["fixture"] = json::array();
    for (const FixtureCell& c : m.fixture) {
        j["fixture"].push_back({{"host", c.host},
                                {"port", c.port},
                                {"runs", c.runs},
                                {"failures", c.failures},
                                {"rate", c.rate},
                                {"others_runs", c.othersRuns},
                                {"others_rate", c.othersRate},
                                {"flagged", c.flagged}});
    }
    j["flag_rule"] = {{"min_runs", kFlagMinRuns},
                      {"min_failures", kFlagMinFailures},
                      {"min_gap", kFlagMinGap},
                      {"min_ratio", kFlagMinRatio}};
    j["intermittent"] = json::array();
    for (const IntermittentRow& r : m.intermittent) {
        j["intermittent"].push_back({{"chip_id", r.chipId},
                                     {"host", r.host},
                                     {"start_stamp", r.timeStamp},
                                     {"port", r.port}});
    }
    j["analogue"] = json::array();
    for (const AnalogueStats& a : m.analogue) j["analogue"].push_back(Analogue(a));
    j["days"] = json::array();
    for (const DayRow& d : m.days) {
        j["days"].push_back({{"day", d.day},
                             {"runs", d.runs},
                             {"passed", d.passed},
                             {"yield", d.yield},
                             {"incomplete", d.incomplete}});
    }
    out << j.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
}

}  // namespace yield
