#include "report/readReport.h"

#include "report/reportTables.h"

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

size_t QuotedRepairs(const ReportFormat& format) {
    return format.headOnly ? kHeadRows : kQuoteEveryRepair;
}

ReadOptions ScreenReading(int alarmBoards) {
    ReadOptions o;
    o.readings = false;
    o.recentBoards = alarmBoards;
    o.latestRuns = kScreenLatestRuns;
    o.hours = true;
    return o;
}

RunFilter DayFilter(const std::string& day) {
    RunFilter f;
    f.since = f.until = day;
    return f;
}

namespace {

bool AlarmSelected(const RunFilter& filter, const AlarmRow& a) {
    constexpr size_t kDayLength = 10;  // YYYY-MM-DD of the ISO time
    std::string day = a.raisedAt.substr(0, kDayLength);
    return (filter.since.empty() || day >= filter.since) &&
           (filter.until.empty() || day <= filter.until) &&
           (filter.station.empty() || a.station == filter.station);
}

}  // namespace

ReportModel ReadReport(ReadStore& store, const RunFilter& filter, const ReadOptions& o) {
    RunFilter days;
    days.since = filter.since;
    days.until = filter.until;
    // The line screen's day is read whole: its alarms count each port's boards.
    bool tallies = o.recentBoards == 0;
    ReportRows rows = ReportRowsOf(store, days, tallies);
    ReportRows own = ReportRowsOf(store, filter);
    rows.voltReadings = own.voltReadings;
    if (!o.readings) rows.voltReadings = [](const ReadingSink&) {};
    rows.runsWithoutDay = own.runsWithoutDay;
    ReportModel m = BuildReport(filter, rows, o.recentBoards, o.quotedRepairs, o.hours);
    SetQueueTimes(m.repairs, o.now);
    m.selection.madeAt = o.madeAt;
    m.selection.database = o.database;
    if (o.latestRuns > 0)
        for (const RunSummary& r : store.NewestRuns(o.latestRuns)) m.latest.push_back(LatestOf(r));
    for (AlarmRow& a : store.AlarmHistory(kReportAlarmRows))
        if (AlarmSelected(filter, a)) m.alarms.push_back(std::move(a));
    return m;
}

}  // namespace yield
