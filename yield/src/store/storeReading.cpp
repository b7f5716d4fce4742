#include "store/storeReading.h"

#include <algorithm>
#include <limits>
#include <string>

#include "parse/calendar.h"
#include "store/sqlChildRows.h"
#include "store/sqlRunRow.h"
#include "store/sqlStmt.h"

namespace yield {
namespace {

constexpr char kNoRun[] = "database: no run ";

// A row of kRunsByFilter or kNewestRuns into `run`, reusing its strings; its ports are not read.
void ReadSummary(Stmt& s, RunSummary& run) {
    using C = sql::SummaryColumn;
    using sql::Col;
    run.id = s.Int(Col(C::id));
    run.host.assign(s.TextView(Col(C::host)));
    run.chipId.assign(s.TextView(Col(C::chip_id)));
    run.timeStamp.assign(s.TextView(Col(C::start_stamp)));
    run.day.assign(s.TextView(Col(C::day)));
    // A run of an unset clock is stored under its arrival day, which its stamp does not give:
    // its stamp's hour says nothing either.
    run.clockUnset = !run.day.empty() && !IsStampDay(run.day, run.timeStamp);
    run.hour = run.clockUnset ? -1 : StampHour(run.timeStamp);
    run.verdict = VerdictOf(s.TextView(Col(C::verdict)));
    run.station.assign(s.TextView(Col(C::station)));
}

std::vector<long long> Ids(Stmt& s) {
    std::vector<long long> out;
    while (s.Step()) out.push_back(s.Int(0));
    return out;
}

std::vector<SourceRow> Sources(Stmt& s) {
    std::vector<SourceRow> out;
    while (s.Step()) out.push_back(ReadSourceRow(s));
    return out;
}

// Run `id`'s rows of the scan `s` (a table's whole column list, in run order), each read with
// `read` into `out`.
template <class Row, class Read>
void TakeRows(RunScan& scan, Stmt& s, long long id, std::vector<Row>& out, Read read) {
    for (; scan.At(id); scan.Next()) out.push_back(read(s));
}

// Runs read by list, at most this many a query: a bounded text whatever the queue.
constexpr size_t kListedRuns = 10000;

// The IDs from `at` to `end` as the list statements take them: "[3,7]".
std::string RunList(const std::vector<long long>& ids, size_t at, size_t end) {
    std::string list = "[";
    for (size_t i = at; i < end; ++i) {
        if (i > at) list += ',';
        list += std::to_string(ids[i]);
    }
    return list + "]";
}

// The text of `text` that reads the rows `filter` selects, and its values bound.
const char* FilterTextOf(const sql::FilterText& text, const RunFilter& filter) {
    return filter.HasDayBound() ? text.days : text.everyDay;
}
void BindFilter(Stmt& s, const RunFilter& filter) {
    s.Bind(filter.since, filter.until, filter.host, filter.station);
    if (filter.HasDayBound())
        BindOne(s.Binder(), filter.until.empty() ? sql::kLastDay : filter.until.c_str());
}

// A tally's day, host and station: the first three columns of each tally's rows.
template <class Row>
void ReadPlace(Stmt& s, Row& row) {
    row.day.assign(s.TextView(0));
    row.host.assign(s.TextView(1));
    row.station.assign(s.TextView(2));
}

PortResult PortOf(Stmt& s) {
    PortResult p;
    ReadPortRow(s, p);
    return p;
}

}  // namespace

void SqlReading::ForEachRun(const RunFilter& filter, const RunSink& take) {
    // Two scans in run order merged here: far cheaper than a join that repeats each run's
    // columns on every port row.
    auto [first, last] = RunIdSpan(filter);
    if (first > last) return;
    Stmt runs(conn_.PrepareScan(sql::kRunsByFilter));
    runs.Bind(filter.since, filter.until, filter.host, filter.station, first, last);
    Stmt ports(conn_.PrepareScan(sql::kPortsOfRunSpan));
    ports.Bind(first, last);
    RunScan portScan(ports);
    RunSummary cur;
    while (runs.Step()) {
        ReadSummary(runs, cur);
        size_t n = 0;  // the port list and its strings are reused from run to run
        for (; portScan.At(cur.id); portScan.Next()) {
            if (n == cur.ports.size()) cur.ports.emplace_back();
            ReadPortRow(ports, cur.ports[n++]);
        }
        cur.ports.resize(n);
        take(cur);
    }
}

void SqlReading::ForEachNotableRun(const RunFilter& filter, const RunSink& take) {
    auto [first, last] = RunIdSpan(filter);
    if (first > last) return;
    Stmt runs(conn_.PrepareScan(sql::kNotableRuns));
    runs.Bind(filter.since, filter.until, filter.host, filter.station, first, last);
    Stmt causes(conn_.PrepareScan(sql::kCausesOfRunSpan));
    Stmt intermittent(conn_.PrepareScan(sql::kIntermittentPortsOfRunSpan));
    causes.Bind(first, last);
    intermittent.Bind(first, last);
    RunScan causeScan(causes), intermittentScan(intermittent);
    RunSummary cur;
    while (runs.Step()) {
        ReadSummary(runs, cur);
        cur.ports.clear();
        cur.causes.clear();
        if (cur.verdict == Verdict::Err)
            TakeRows(causeScan, causes, cur.id, cur.causes, [](Stmt& s) { return s.Text(1); });
        TakeRows(intermittentScan, intermittent, cur.id, cur.ports, PortOf);
        take(cur);
    }
}

void SqlReading::ForEachPortTally(const RunFilter& filter, const PortTallySink& take) {
    using C = sql::PortTallyColumn;
    using sql::Col;
    Stmt s(conn_.PrepareScan(FilterTextOf(sql::kPortTallies, filter)));
    BindFilter(s, filter);
    PortTallyRow row;
    while (s.Step()) {
        ReadPlace(s, row);
        row.family.assign(s.TextView(Col(C::family)));
        row.number = static_cast<int>(s.Int(Col(C::number)));
        row.runs = s.Int(Col(C::runs));
        row.failures = s.Int(Col(C::failures));
        take(row);
    }
}

void SqlReading::ForEachRunTally(const RunFilter& filter, const RunTallySink& take) {
    Stmt s(conn_.PrepareScan(FilterTextOf(sql::kRunTallies, filter)));
    BindFilter(s, filter);
    RunTallyRow row;
    while (s.Step()) {
        ReadPlace(s, row);
        row.verdict = VerdictOf(s.TextView(3));
        row.runs = s.Int(4);
        take(row);
    }
}

void SqlReading::ForEachBoard(const RunFilter& filter, const BoardSink& take) {
    ReadBoards(sql::kBoardsByFilter, filter, take);
}

void SqlReading::ForEachNotableBoard(const RunFilter& filter, const BoardSink& take) {
    ReadBoards(sql::kNotableBoardsByFilter, filter, take);
}

void SqlReading::ForEachPlainBoards(const RunFilter& filter, const PlainBoardsSink& take) {
    Stmt s(conn_.PrepareScan(FilterTextOf(sql::kPlainBoardTallies, filter)));
    BindFilter(s, filter);
    PlainBoardsRow row;
    while (s.Step()) {
        ReadPlace(s, row);
        row.boards = s.Int(3);
        take(row);
    }
}

void SqlReading::ReadBoards(const sql::FilterText& text, const RunFilter& filter,
                            const BoardSink& take) {
    using C = sql::BoardColumn;
    using sql::Col;
    Stmt s(conn_.PrepareScan(FilterTextOf(text, filter)));
    BindFilter(s, filter);
    BoardRow b;
    while (s.Step()) {
        b.chipId.assign(s.TextView(Col(C::chip_id)));
        b.runs = s.Int(Col(C::runs));
        b.complete = s.Int(Col(C::complete));
        b.first.id = s.Int(Col(C::first_id));
        b.first.timeStamp.assign(s.TextView(Col(C::first_stamp)));
        b.first.day.assign(s.TextView(Col(C::first_day)));
        b.first.host.assign(s.TextView(Col(C::first_host)));
        b.first.station.assign(s.TextView(Col(C::first_station)));
        b.first.verdict = VerdictOf(s.TextView(Col(C::first_verdict)));
        b.shown.verdict = VerdictOf(s.TextView(Col(C::shown_verdict)));
        b.shown.id = 0;
        b.shown.timeStamp.clear();
        b.shown.host.clear();
        b.shown.station.clear();
        if (b.complete == 0 || b.shown.verdict == Verdict::Err) {
            b.shown.id = s.Int(Col(C::shown_id));
            b.shown.timeStamp.assign(s.TextView(Col(C::shown_stamp)));
            b.shown.host.assign(s.TextView(Col(C::shown_host)));
            b.shown.station.assign(s.TextView(Col(C::shown_station)));
        }
        take(b);
    }
}

long long SqlReading::BoardsTestingPort(const RunFilter& filter, const std::string& station,
                                        const std::string& port) {
    auto [first, last] = RunIdSpan(filter);
    if (first > last) return 0;
    Stmt s(conn_.Prepare(sql::kBoardsTestingPort));
    s.Bind(filter.since, filter.until, filter.host, filter.station, first, last, station, port);
    return s.Step() ? s.Int(0) : 0;
}

void SqlReading::ForEachVoltReading(const RunFilter& filter, const ReadingSink& take) {
    Stmt s(conn_.PrepareScan(FilterTextOf(sql::kVoltReadings, filter)));
    BindFilter(s, filter);
    NamedValue v;
    while (s.Step()) {
        v.name.assign(s.TextView(0));
        v.value = s.Real(1);
        take(v, s.Int(2));
    }
}

std::vector<long long> SqlReading::RunIds(const RunFilter& filter) {
    Stmt s(conn_.PrepareScan(sql::kRunIds));
    s.Bind(filter.since, filter.until, filter.host, filter.station);
    return Ids(s);
}

std::vector<long long> SqlReading::NewestRunIds(long long n) {
    Stmt s(conn_.Prepare(sql::kNewestRunIds));
    s.Bind(n);
    return Ids(s);
}

std::vector<RunSummary> SqlReading::NewestRuns(long long n) {
    std::vector<RunSummary> out;
    {
        Stmt s(conn_.Prepare(sql::kNewestRuns));
        s.Bind(n);
        while (s.Step()) ReadSummary(s, out.emplace_back());
    }
    if (out.empty()) return out;
    Stmt ports(conn_.PrepareScan(sql::kFailedPortsOfRunSpan));
    ports.Bind(out.back().id, out.front().id);
    RunScan portScan(ports);
    for (auto run = out.rbegin(); run != out.rend(); ++run)
        TakeRows(portScan, ports, run->id, run->ports, PortOf);
    return out;
}

std::vector<StationUpload> SqlReading::StationUploads(const std::string& sinceDay) {
    RunFilter days;
    days.since = sinceDay;
    auto [first, last] = RunIdSpan(days);
    Stmt s(conn_.Prepare(sql::kStationUploads));
    s.Bind(sinceDay, first, last);
    std::vector<StationUpload> out;
    while (s.Step()) out.push_back({s.Text(0), s.Int(1)});
    return out;
}

long long SqlReading::CountRunsWithoutDay(const RunFilter& filter) {
    Stmt s(conn_.Prepare(sql::kRunsWithoutDay));
    s.Bind(filter.host, filter.station);
    return s.Step() ? s.Int(0) : 0;
}

std::vector<long long> SqlReading::RunIdsOfChip(const std::string& chipId) {
    Stmt s(conn_.Prepare(sql::kRunIdsOfChip));
    s.Bind(chipId);
    return Ids(s);
}

StoredChoices SqlReading::Choices() {
    StoredChoices c;
    auto names = [this](const char* text, std::vector<std::string>& out) {
        Stmt s(conn_.Prepare(text));
        while (s.Step()) out.push_back(s.Text(0));
    };
    names(sql::kStoredStations, c.stations);
    names(sql::kStoredHosts, c.hosts);
    Stmt s(conn_.Prepare(sql::kStoredDaySpan));
    if (s.Step()) {
        c.firstDay = s.Text(0);
        c.lastDay = s.Text(1);
    }
    return c;
}

std::vector<std::string> SqlReading::ChipIdsLike(const std::string& chipId) {
    Stmt s(conn_.Prepare(sql::kChipIdsLike));
    s.Bind(chipId);
    std::vector<std::string> out;
    while (s.Step()) out.push_back(s.Text(0));
    return out;
}

RunRecord SqlReading::LoadRun(long long id) {
    RunRecord run;
    {
        Stmt s(conn_.Prepare(sql::RunByIdText()));
        s.Bind(id);
        if (!s.Step()) throw StoreError(kNoRun + std::to_string(id));
        ReadRunColumns(s, run);
    }
    auto rowsOf = [this, id](const char* text, auto& out, auto read) {
        Stmt s(conn_.Prepare(text));
        s.Bind(id);
        while (s.Step()) out.push_back(read(s));
    };
    rowsOf(sql::kPortsOfRun, run.ports, PortOf);
    rowsOf(sql::kTalliesOfRun, run.tallies, ReadTallyRow);
    rowsOf(sql::kMeasurementsOfRun, run.measurements, ReadMeasurementRow);
    rowsOf(sql::kFailuresOfRun, run.failures, ReadFailureRow);
    return run;
}

void SqlReading::ForEachFailing(const std::vector<long long>& ids, const FailingSink& take) {
    const sql::RunListReads& text = conn_.Dialect().failingOfList;
    for (size_t at = 0; at < ids.size(); at += kListedRuns) {
        size_t end = std::min(ids.size(), at + kListedRuns);
        std::string list = RunList(ids, at, end);
        Stmt ports(conn_.PrepareScan(text.ports));
        Stmt values(conn_.PrepareScan(text.values));
        Stmt lines(conn_.PrepareScan(text.lines));
        for (Stmt* s : {&ports, &values, &lines}) s->Bind(list);
        RunScan portScan(ports), valueScan(values), lineScan(lines);
        RunRecord run;
        for (size_t i = at; i < end; ++i) {
            long long id = ids[i];
            run.ports.clear();
            run.measurements.clear();
            run.failures.clear();
            TakeRows(portScan, ports, id, run.ports, PortOf);
            TakeRows(valueScan, values, id, run.measurements, ReadMeasurementRow);
            TakeRows(lineScan, lines, id, run.failures, ReadFailureRow);
            take(id, run);
        }
    }
}

std::vector<SourceRow> SqlReading::SourcesOf(long long runId) {
    Stmt s(conn_.Prepare(sql::kSourcesOfRun));
    s.Bind(runId);
    return Sources(s);
}

std::vector<SourceRow> SqlReading::ProblemFiles() {
    Stmt s(conn_.PrepareScan(sql::kProblemFiles));
    return Sources(s);
}

// The first and last ID of the runs the filter's days can hold (every ID without a day bound);
// first above last when they hold none.
std::pair<long long, long long> SqlReading::RunIdSpan(const RunFilter& filter) {
    if (!filter.HasDayBound())
        return {std::numeric_limits<long long>::min(), std::numeric_limits<long long>::max()};
    Stmt s(conn_.Prepare(sql::kRunIdSpan));
    s.Bind(filter.since, filter.until.empty() ? sql::kLastDay : filter.until.c_str());
    if (!s.Step() || s.Null(0)) return {1, 0};
    return {s.Int(0), s.Int(1)};
}

}  // namespace yield
