#include "report/readReport.h"

namespace yield {
namespace {

constexpr char kFailingSeparator[] = ", ";

LatestRun LatestOf(const RunSummary& r) {
    std::string failing;
    for (const PortResult& p : r.ports)
        failing += (failing.empty() ? "" : kFailingSeparator) + p.Name();
    return {r.id, r.chipId, r.host, r.station, r.timeStamp, VerdictWord(r.verdict), failing};
}

}  // namespace

ReadOptions ScreenReading(int alarmBoards) {
    ReadOptions o;
    o.readings = false;
    o.recentBoards = alarmBoards;
    o.latestRuns = kScreenLatestRuns;
    return o;
}

RunFilter DayFilter(const std::string& day) {
    RunFilter f;
    f.since = f.until = day;
    return f;
}

ReportModel ReadReport(ReadStore& store, const RunFilter& filter, const ReadOptions& o) {
    RunFilter days;
    days.since = filter.since;
    days.until = filter.until;
    ReportRows rows = ReportRowsOf(store, days);
    ReportRows own = ReportRowsOf(store, filter);
    rows.voltReadings = own.voltReadings;
    if (!o.readings) rows.voltReadings = [](const ReadingSink&) {};
    rows.runsWithoutDay = own.runsWithoutDay;
    ReportModel m = BuildReport(filter, rows, o.recentBoards);
    SetQueueTimes(m.repairs, o.now);
    m.selection.madeAt = o.madeAt;
    m.selection.database = o.database;
    if (o.latestRuns > 0)
        for (const RunSummary& r : store.NewestRuns(o.latestRuns)) m.latest.push_back(LatestOf(r));
    return m;
}

}  // namespace yield
