#include <nlohmann/json.hpp>

#include "jsonStream.h"
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

// Members in key order; the histogram, which may be long, item by item.
void Analogue(JsonStream& j, const AnalogueStats& a) {
    j.OpenObject();
    j.Member("count", a.count);
    j.Member("cpk", a.hasCpk ? json(a.cpk) : json());
    j.Member("high", kAnalogueHigh);
    j.Key("histogram");
    j.OpenArray();
    for (const auto& [h, n] : a.histogram) j.FlatItem({{"count", n}, {"volts", h / 100.0}});
    j.Close();
    j.Member("input", a.input);
    j.Member("low", kAnalogueLow);
    j.Member("max", a.max);
    j.Member("mean", a.mean);
    j.Member("min", a.min);
    j.Member("outside", a.outside);
    j.Member("stddev", a.stddev);
    j.Close();
}

// An array member with one item per element of `rows`, each written by `item`.
template <class Rows, class Item>
void List(JsonStream& j, const char* key, const Rows& rows, Item item) {
    j.Key(key);
    j.OpenArray();
    for (const auto& r : rows) item(r);
    j.Close();
}

}  // namespace

// Members in key order, as the document held whole used to write them.
void WriteReportJson(const ReportModel& m, std::ostream& out) {
    JsonStream j(out);
    j.OpenObject();
    j.Key("analogue");
    j.OpenArray();
    for (const AnalogueStats& a : m.analogue) {
        j.Item();
        Analogue(j, a);
    }
    j.Close();
    List(j, "days", m.days, [&j](const DayRow& d) {
        j.FlatItem({{"day", d.day},
                    {"incomplete", d.incomplete},
                    {"passed", d.passed},
                    {"runs", d.runs},
                    {"yield", d.yield}});
    });
    j.Member("filter",
             {{"since", m.filter.since}, {"until", m.filter.until}, {"host", m.filter.host}});
    List(j, "fixture", m.fixture, [&j](const FixtureCell& c) {
        j.FlatItem({{"failures", c.failures},
                    {"flagged", c.flagged},
                    {"host", c.host},
                    {"others_rate", c.othersRate},
                    {"others_runs", c.othersRuns},
                    {"port", c.port},
                    {"rate", c.rate},
                    {"runs", c.runs}});
    });
    j.Member("flag_rule", {{"min_runs", kFlagMinRuns},
                           {"min_failures", kFlagMinFailures},
                           {"min_gap", kFlagMinGap},
                           {"min_ratio", kFlagMinRatio}});
    j.Member("format", "devuzeV7-yield-report");
    List(j, "intermittent", m.intermittent, [&j](const IntermittentRow& r) {
        j.FlatItem({{"chip_id", r.chipId},
                    {"host", r.host},
                    {"port", r.port},
                    {"start_stamp", r.timeStamp}});
    });
    List(j, "pareto", m.pareto, [&j](const ParetoRow& r) {
        j.FlatItem({{"cumulative_share", r.cumulative},
                    {"failures", r.failures},
                    {"port", r.port},
                    {"share", r.share}});
    });
    List(j, "retests", m.retests, [&j](const RetestRow& r) {
        j.FlatItem({{"chip_id", r.chipId},
                    {"final_verdict", r.finalVerdict},
                    {"first_verdict", r.firstVerdict},
                    {"runs", r.runs}});
    });
    j.Member("summary", Summary(m.summary));
    j.Member("version", 1);
    j.Close();
    out << "\n";
}

}  // namespace yield
