#include "dashboard.h"

namespace yield {
namespace {

using nlohmann::json;

constexpr char kPortSeparator[] = ", ";

std::vector<RunSummary> RunsOf(ReadStore& store, const RunFilter& filter) {
    std::vector<RunSummary> runs;
    store.ForEachRun(filter, [&runs](const RunSummary& run) { runs.push_back(run); });
    return runs;
}

ReportModel ModelOf(ReadStore& store, const RunFilter& filter,
                    const std::vector<RunSummary>& runs) {
    ReportRows rows = ReportRowsOf(store, filter);
    // The screen shows no analogue statistics: the day's readings are not read.
    rows.voltReadings = [](const ReadingSink&) {};
    rows.runs = [&runs](const RunSink& take) {
        for (const RunSummary& run : runs) take(run);
    };
    return BuildReport(filter, rows);
}

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& s : items) out += (out.empty() ? "" : kPortSeparator) + s;
    return out;
}

std::vector<LatestRun> LatestRuns(ReadStore& store) {
    std::vector<LatestRun> out;
    for (const RunSummary& r : store.NewestRuns(kLatestRuns)) {
        std::vector<std::string> failing;
        for (const PortResult& p : r.ports) failing.push_back(p.Name());
        out.push_back({r.id, r.chipId, r.host, r.station, r.timeStamp, VerdictWord(r.verdict),
                       Joined(failing)});
    }
    return out;
}

json StationsJson(const ReportModel& m) {
    json out = json::array();
    for (const StationRow& s : m.stations) {
        out.push_back({{"station", s.station},
                       {"runs", s.runs},
                       {"boards", s.boards},
                       {"first_pass_yield", s.firstPassYield},
                       {"final_yield", s.finalYield}});
    }
    return out;
}

json HoursJson(const std::vector<HourRow>& hours) {
    json out = json::array();
    for (const HourRow& h : hours) {
        out.push_back({{"station", h.station},
                       {"hour", h.hour},
                       {"boards", h.boards},
                       {"first_pass_yield", h.firstPassYield},
                       {"final_yield", h.finalYield}});
    }
    return out;
}

json RepairsJson(const ReportModel& m) {
    json out = json::array();
    for (const RepairRow& r : m.repairs) {
        if (out.size() == kScreenRepairs) break;
        out.push_back({{"processor_id", r.chipId},
                       {"station", r.station},
                       {"start_stamp", r.timeStamp},
                       {"status", r.status},
                       {"failures", r.failures}});
    }
    return out;
}

json FlagsJson(const ReportModel& m) {
    json out = json::array();
    for (const FixtureCell& c : m.fixture) {
        if (!c.flagged) continue;
        out.push_back({{"station", c.host},
                       {"port", c.port},
                       {"runs", c.runs},
                       {"failures", c.failures},
                       {"rate", c.rate},
                       {"others_rate", c.othersRate}});
    }
    return out;
}

json LatestJson(const std::vector<LatestRun>& latest) {
    json out = json::array();
    for (const LatestRun& r : latest) {
        out.push_back({{"id", r.id},
                       {"processor_id", r.chipId},
                       {"host", r.host},
                       {"station", r.station},
                       {"start_stamp", r.timeStamp},
                       {"verdict", r.verdict},
                       {"failing", r.failing}});
    }
    return out;
}

}  // namespace

Dashboard ReadDashboard(ReadStore& store, const std::string& day) {
    Dashboard d;
    d.day = day;
    RunFilter filter;
    filter.since = filter.until = day;
    std::vector<RunSummary> runs = RunsOf(store, filter);
    d.model = ModelOf(store, filter, runs);
    d.tests = FirstTests(runs);
    d.hours = HourTable(runs);
    d.latest = LatestRuns(store);
    return d;
}

json DashboardJson(const Dashboard& d) {
    const YieldSummary& s = d.model.summary;
    return {{"day", d.day},
            {"summary",
             {{"runs", s.runs},
              {"boards", s.boards},
              {"first_pass_yield", s.firstPassYield},
              {"final_yield", s.finalYield}}},
            {"stations", StationsJson(d.model)},
            {"hours", HoursJson(d.hours)},
            {"repairs", RepairsJson(d.model)},
            {"repairs_total", d.model.repairs.size()},
            {"flags", FlagsJson(d.model)},
            {"latest", LatestJson(d.latest)}};
}

json UnreadableJson(const std::string& why) { return {{kUnreadable, why}}; }

json AlarmsJson(const std::vector<Alarm>& alarms) {
    json out = json::array();
    for (const Alarm& a : alarms) {
        out.push_back({{"id", a.id},
                       {"kind", a.condition.kind},
                       {"station", a.condition.station},
                       {"port", a.condition.port},
                       {"rate", a.condition.rate},
                       {"boards", a.condition.boards},
                       {"raised_at", a.raisedAt}});
    }
    return out;
}

}  // namespace yield
