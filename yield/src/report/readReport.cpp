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
    return InDays(filter, day) && (filter.station.empty() || a.station == filter.station);
}

// The tallies give a port's runs, not its boards: the screen's alarms name the boards of each
// flagged port, which are few, so only theirs are counted from the rows.
void CountFlaggedPortBoards(ReadStore& store, const RunFilter& filter, ReportModel& m) {
    for (const FixtureCell& cell : m.fixture) {
        if (cell.flagged)
            m.portBoards[{cell.host, cell.port}] =
                store.BoardsTestingPort(filter, cell.host, cell.port);
    }
}

}  // namespace

ReportModel ReadReport(ReadStore& store, const RunFilter& filter, const ReadOptions& o) {
    RunFilter days;
    days.since = filter.since;
    days.until = filter.until;
    ReportRows rows = ReportRowsOf(store, days, true);
    ReportRows own = ReportRowsOf(store, filter);
    rows.voltReadings = own.voltReadings;
    if (!o.readings) rows.voltReadings = [](const ReadingSink&) {};
    rows.runsWithoutDay = own.runsWithoutDay;
    ReportModel m = BuildReport(filter, rows, o.recentBoards, o.quotedRepairs, o.hours);
    if (o.recentBoards > 0 && store.KeepsTallies()) CountFlaggedPortBoards(store, filter, m);
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
