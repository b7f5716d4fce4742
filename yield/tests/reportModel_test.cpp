#include "report/reportModel.h"

#include <gtest/gtest.h>

#include "parse/calendar.h"

using namespace yield;

namespace {

RunSummary MakeRun(const std::string& chip, const std::string& host, const std::string& stamp,
                   Verdict v, std::vector<PortResult> ports = {}) {
    RunSummary r;
    r.chipId = chip;
    r.host = host;
    r.timeStamp = stamp;
    r.day = stamp.substr(0, 4) + "-" + stamp.substr(5, 2) + "-" + stamp.substr(8, 2);
    r.hour = StampHour(stamp);
    r.verdict = v;
    r.ports = std::move(ports);
    return r;
}

PortResult Port(const std::string& family, int n, bool passed, bool intermittent = false) {
    return PortResult{family, n, passed, intermittent};
}

ReportModel Build(const std::vector<RunSummary>& runs, const std::vector<double>& volts = {}) {
    ReportBuilder b({});
    for (const RunSummary& r : runs) b.AddRun(r);
    for (double v : volts) b.AddReading(NamedValue{1, "AI1", v, "pass"});
    return b.Finish();
}

}  // namespace

TEST(ReportModel, FirstPassFinalYieldAndRetests) {
    ReportModel m = Build({
        MakeRun("A", "h1", "2026_01_01_08_00_00", Verdict::Err, {Port("RS232", 1, false)}),
        MakeRun("A", "h1", "2026_01_02_08_00_00", Verdict::Ok, {Port("RS232", 1, true)}),
        MakeRun("B", "h1", "2026_01_01_09_00_00", Verdict::Ok),
        MakeRun("C", "h2", "2026_01_01_10_00_00", Verdict::Incomplete),
        MakeRun("C", "h2", "2026_01_01_11_00_00", Verdict::Err, {Port("DI", 5, false)}),
        MakeRun("D", "h2", "2026_01_02_11_00_00", Verdict::Ok),
        MakeRun("D", "h2", "2026_01_02_12_00_00", Verdict::Err, {Port("DI", 5, false)}),
    });
    const YieldSummary& s = m.summary;
    EXPECT_EQ(s.runs, 7);
    EXPECT_EQ(s.incompleteRuns, 1);
    EXPECT_EQ(s.boards, 4);
    EXPECT_EQ(s.firstPassed, 2);  // B, D (C's first run was aborted)
    EXPECT_EQ(s.finalPassed, 2);  // A, B
    EXPECT_DOUBLE_EQ(s.firstPassYield, 0.5);
    EXPECT_EQ(s.retestedBoards, 3);  // A, C (its aborted run is an attempt), D
    EXPECT_EQ(s.retestRuns, 3);
    EXPECT_EQ(s.recovered, 1);
    ASSERT_EQ(m.days.size(), 2u);
    EXPECT_EQ(m.days[0].day, "2026-01-01");
    EXPECT_EQ(m.days[0].runs, 3);
    EXPECT_EQ(m.days[0].incomplete, 1);
    EXPECT_DOUBLE_EQ(m.days[1].yield, 2.0 / 3);
}

TEST(ReportModel, RunOrderDoesNotMatter) {
    // The store gives runs as they were stored; a board's first and last are by start time.
    std::vector<RunSummary> runs = {
        MakeRun("B", "h1", "2026_01_03_08_00_00", Verdict::Ok),
        MakeRun("A", "h2", "2026_01_02_08_00_00", Verdict::Ok, {Port("RS232", 1, true, true)}),
        MakeRun("B", "h2", "2026_01_01_08_00_00", Verdict::Err, {Port("DI", 5, false)}),
        MakeRun("A", "h1", "2026_01_01_09_00_00", Verdict::Err, {Port("RS232", 1, false, true)}),
        MakeRun("B", "h1", "2026_01_02_08_00_00", Verdict::Err, {Port("DI", 5, false)}),
    };
    ReportModel m = Build(runs);
    EXPECT_EQ(m.summary.firstPassed, 0);
    EXPECT_EQ(m.summary.finalPassed, 2);
    EXPECT_EQ(m.summary.recovered, 2);
    ASSERT_EQ(m.retests.size(), 2u);
    EXPECT_EQ(m.retests[0].chipId, "A");
    EXPECT_EQ(m.retests[1].chipId, "B");
    EXPECT_EQ(m.retests[1].runs, 3);
    EXPECT_EQ(m.retests[1].firstVerdict, "ERR");
    EXPECT_EQ(m.retests[1].finalVerdict, "OK");
    ASSERT_EQ(m.intermittent.size(), 2u);
    EXPECT_EQ(m.intermittent[0].station, "h1");  // A's earlier run first
    EXPECT_EQ(m.intermittent[1].station, "h2");

    std::vector<RunSummary> reversed(runs.rbegin(), runs.rend());
    ReportModel r = Build(reversed);
    EXPECT_EQ(r.summary.recovered, m.summary.recovered);
    EXPECT_EQ(r.retests[1].firstVerdict, "ERR");
    EXPECT_EQ(r.intermittent[0].station, "h1");
}

TEST(ReportModel, ParetoSharesLargestFirst) {
    ReportModel m = Build({
        MakeRun("A", "h", "2026_01_01_00_00_00", Verdict::Err,
                {Port("ADC", 2, false), Port("DI", 5, false)}),
        MakeRun("B", "h", "2026_01_01_00_00_01", Verdict::Err,
                {Port("DI", 5, false), Port("DO", 1, true)}),
        MakeRun("C", "h", "2026_01_01_00_00_02", Verdict::Err, {Port("DI", 5, false, true)}),
    });
    ASSERT_EQ(m.pareto.size(), 2u);
    EXPECT_EQ(m.pareto[0].port, "DI-5");
    EXPECT_EQ(m.pareto[0].failures, 3);
    EXPECT_DOUBLE_EQ(m.pareto[0].share, 0.75);
    EXPECT_DOUBLE_EQ(m.pareto[1].cumulative, 1.0);
    ASSERT_EQ(m.intermittent.size(), 1u);
    EXPECT_EQ(m.intermittent[0].chipId, "C");
}

TEST(ReportModel, FixtureFlagMarksOneHostApart) {
    EXPECT_TRUE(FixtureFlag(5, 4, 10, 0));
    EXPECT_TRUE(FixtureFlag(4, 2, 4, 0));
    EXPECT_FALSE(FixtureFlag(3, 3, 10, 0));   // too few runs on the host
    EXPECT_FALSE(FixtureFlag(5, 1, 10, 0));   // one failure is no pattern
    EXPECT_FALSE(FixtureFlag(5, 4, 3, 0));    // nothing to compare with
    EXPECT_FALSE(FixtureFlag(5, 4, 10, 6));   // the others fail as often: the boards, not the host
    EXPECT_FALSE(FixtureFlag(10, 4, 10, 2));  // 40% vs 20%: a gap, but not three times
    // Through the builder: RS232-1 fails on every run of host "bad" and never elsewhere.
    std::vector<RunSummary> runs;
    for (int i = 0; i < 10; ++i) {
        bool bad = i % 2 == 0;
        runs.push_back(MakeRun("B" + std::to_string(i), bad ? "bad" : "good", "2026_01_01_00_00_00",
                               bad ? Verdict::Err : Verdict::Ok, {Port("RS232", 1, !bad)}));
    }
    ReportModel m = Build(runs);
    ASSERT_EQ(m.fixture.size(), 2u);
    EXPECT_EQ(m.fixture[0].host, "bad");
    EXPECT_TRUE(m.fixture[0].flagged);
    EXPECT_DOUBLE_EQ(m.fixture[0].rate, 1.0);
    EXPECT_FALSE(m.fixture[1].flagged);
}

TEST(ReportModel, AnalogueStatisticsAndCpk) {
    ReportModel m = Build({}, {1.58, 1.60, 1.62, 1.60, 1.72});
    ASSERT_EQ(m.analogue.size(), 1u);
    const AnalogueStats& a = m.analogue[0];
    EXPECT_EQ(a.count, 5);
    EXPECT_NEAR(a.mean, 1.624, 1e-9);
    EXPECT_NEAR(a.stddev, 0.0554977477, 1e-6);
    EXPECT_DOUBLE_EQ(a.min, 1.58);
    EXPECT_DOUBLE_EQ(a.max, 1.72);
    EXPECT_EQ(a.outside, 1);
    ASSERT_TRUE(a.hasCpk);
    EXPECT_NEAR(a.cpk, (1.70 - 1.624) / (3 * 0.0554977477), 1e-5);
    EXPECT_EQ(a.histogram.at(160), 2);
    double cpk = 0;
    EXPECT_TRUE(Cpk(1.60, 0.02, 1.50, 1.70, cpk));
    EXPECT_NEAR(cpk, 1.6667, 1e-4);
    EXPECT_FALSE(Cpk(1.65, 0, 1.50, 1.70, cpk));
    ReportModel flat = Build({}, {1.65, 1.65, 1.65});
    EXPECT_FALSE(flat.analogue[0].hasCpk);
}

TEST(ReportModel, EqualReadingsCountedAtOnceGiveTheSameStatistics) {
    const std::vector<std::pair<double, long long>> groups = {
        {1.49, 3}, {1.6, 5}, {1.65, 1}, {1.71, 2}};
    ReportBuilder one({}), grouped({});
    for (const auto& [v, n] : groups) {
        for (long long i = 0; i < n; ++i) one.AddReading(NamedValue{0, "AI1", v, ""});
        grouped.AddReading(NamedValue{0, "AI1", v, ""}, n);
    }
    grouped.AddReading(NamedValue{0, "AI1", 9.9, ""}, 0);  // no readings: nothing changes
    ReportModel a = one.Finish(), b = grouped.Finish();
    ASSERT_EQ(b.analogue.size(), 1u);
    const AnalogueStats &x = a.analogue[0], &y = b.analogue[0];
    EXPECT_EQ(y.count, 11);
    EXPECT_NEAR(y.mean, x.mean, 1e-12);
    EXPECT_NEAR(y.stddev, x.stddev, 1e-12);
    EXPECT_NEAR(y.cpk, x.cpk, 1e-9);
    EXPECT_EQ(y.min, 1.49);
    EXPECT_EQ(y.max, 1.71);
    EXPECT_EQ(y.outside, 5);
    EXPECT_EQ(y.histogram, x.histogram);
}

// Readings that do not vary beyond their hundredth of a volt have no spread and no Cpk, however
// they arrive; one hundredth apart they do.
TEST(ReportModel, ReadingsThatDoNotVaryHaveNoSpreadAndNoCpk) {
    ReportBuilder grouped({}), noisy({}), apart({});
    grouped.AddReading(NamedValue{0, "AI1", 1.65, ""}, 3);
    grouped.AddReading(NamedValue{0, "AI2", 1.63, ""}, 1000);
    grouped.AddReading(NamedValue{0, "AI2", 1.63, ""}, 7);
    noisy.AddReading(NamedValue{0, "AI1", 1.65, ""}, 2);
    noisy.AddReading(NamedValue{0, "AI1", 1.65 + 1e-12, ""});
    apart.AddReading(NamedValue{0, "AI1", 1.65, ""}, 2);
    apart.AddReading(NamedValue{0, "AI1", 1.66, ""});
    ReportModel g = grouped.Finish(), n = noisy.Finish(), a = apart.Finish();
    ASSERT_EQ(g.analogue.size(), 2u);
    for (const AnalogueStats& flat : {g.analogue[0], g.analogue[1], n.analogue[0]}) {
        EXPECT_EQ(flat.stddev, 0) << flat.input;
        EXPECT_FALSE(flat.hasCpk) << flat.input;
    }
    EXPECT_DOUBLE_EQ(g.analogue[1].mean, 1.63);
    EXPECT_NEAR(a.analogue[0].stddev, 0.0057735027, 1e-9);
    EXPECT_TRUE(a.analogue[0].hasCpk);
}

// A run whose stamp gives no day counts everywhere but in the per-day table, and is counted apart.
TEST(ReportModel, RunsWithoutADayAreCountedApart) {
    RunSummary undated = MakeRun("B", "h", "2026_01_01_08_00_00", Verdict::Ok);
    undated.timeStamp = "garbled";
    undated.day.clear();
    ReportBuilder b({});
    b.AddRun(MakeRun("A", "h", "2026_01_01_08_00_00", Verdict::Err));
    b.AddRun(undated);
    b.AddRunsLeftOutWithoutDay(2);
    ReportModel m = b.Finish();
    EXPECT_EQ(m.summary.runs, 2);
    EXPECT_EQ(m.summary.boards, 2);
    EXPECT_EQ(m.summary.noDayRuns, 3);
    ASSERT_EQ(m.days.size(), 1u);
    EXPECT_EQ(m.days[0].day, "2026-01-01");
    EXPECT_EQ(m.days[0].runs, 1);
}

// Ports listed in another order than the host's first run (and past the cells a host searches
// one by one) still land in their own cells, in family order.
TEST(ReportModel, PortsInAnyOrderFillTheirOwnCells) {
    std::vector<PortResult> ports;
    for (int n = 1; n <= 40; ++n) ports.push_back(Port("DO", n, n != 7));
    std::vector<PortResult> reversed(ports.rbegin(), ports.rend());
    reversed.push_back(Port("RS232", 1, false));
    ReportModel m = Build({MakeRun("A", "h", "2026_01_01_08_00_00", Verdict::Err, ports),
                           MakeRun("B", "h", "2026_01_01_09_00_00", Verdict::Err, reversed),
                           MakeRun("C", "g", "2026_01_01_10_00_00", Verdict::Ok, reversed)});
    ASSERT_EQ(m.ports.size(), 41u);
    EXPECT_EQ(m.ports[0], "RS232-1");
    EXPECT_EQ(m.ports[1], "DO-1");
    ASSERT_EQ(m.fixture.size(), 82u);
    EXPECT_EQ(m.fixture[0].host, "g");
    FixtureCell h7 = m.fixture[41 + 7];
    EXPECT_EQ(h7.host, "h");
    EXPECT_EQ(h7.port, "DO-7");
    EXPECT_EQ(h7.runs, 2);
    EXPECT_EQ(h7.failures, 2);
    EXPECT_EQ(h7.othersRuns, 1);
    EXPECT_EQ(m.fixture[41].runs, 1);  // h's RS232-1, from one run only
}

// The model is built from row sources alone, each read once; the runs a day bound left out for
// want of a day are asked for only when the filter has a bound.
TEST(ReportModel, BuiltFromRowSources) {
    std::vector<RunSummary> runs = {
        MakeRun("A", "h1", "2026_01_01_08_00_00", Verdict::Ok, {Port("DO", 1, true)}),
        MakeRun("B", "h2", "2026_01_02_08_00_00", Verdict::Err, {Port("DO", 1, false)})};
    int runReads = 0, dayAsks = 0;
    ReportRows rows;
    rows.runs = [&](const RunSink& take) {
        ++runReads;
        for (const RunSummary& r : runs) take(r);
    };
    rows.voltReadings = [](const ReadingSink& take) {
        take(NamedValue{0, "AI1", 1.60, ""}, 3);
        take(NamedValue{0, "AI1", 1.80, ""}, 1);
    };
    rows.runsWithoutDay = [&dayAsks] {
        ++dayAsks;
        return 5LL;
    };
    ReportModel all = BuildReport({}, rows);
    EXPECT_EQ(all.summary.runs, 2);
    EXPECT_EQ(all.summary.finalPassed, 1);
    EXPECT_EQ(all.summary.noDayRuns, 0);
    EXPECT_EQ(dayAsks, 0);
    ASSERT_EQ(all.analogue.size(), 1u);
    EXPECT_EQ(all.analogue[0].count, 4);
    EXPECT_EQ(all.analogue[0].outside, 1);

    RunFilter bounded;
    bounded.since = "2026-01-01";
    ReportModel some = BuildReport(bounded, rows);
    EXPECT_EQ(some.summary.noDayRuns, 5);
    EXPECT_EQ(some.filter.since, "2026-01-01");
    EXPECT_EQ(dayAsks, 1);
    EXPECT_EQ(runReads, 2);
}

// Queued: boards whose last complete run failed (newest first), then boards with only incomplete
// runs; a board that failed and then passed is not, nor is one whose later incomplete run
// follows a pass.
TEST(ReportModel, RepairQueueHoldsBoardsThatFailedLastOrNeverFinished) {
    ReportModel m = Build({
        MakeRun("A", "h1", "2026_01_01_08_00_00", Verdict::Err, {Port("RS232", 1, false)}),
        MakeRun("A", "h1", "2026_01_02_08_00_00", Verdict::Ok),
        MakeRun("B", "h1", "2026_01_03_08_00_00", Verdict::Err),
        MakeRun("B", "h2", "2026_01_01_08_00_00", Verdict::Ok),
        MakeRun("C", "h2", "2026_01_04_08_00_00", Verdict::Err),
        MakeRun("D", "h1", "2026_01_01_08_00_00", Verdict::Incomplete),
        MakeRun("D", "h3", "2026_01_05_08_00_00", Verdict::Incomplete),
        MakeRun("E", "h1", "2026_01_06_08_00_00", Verdict::Incomplete),
        MakeRun("E", "h1", "2026_01_01_08_00_00", Verdict::Ok),
        MakeRun("F", "h2", "2026_01_02_08_00_00", Verdict::Incomplete),
    });
    std::vector<std::string> queued;
    for (const RepairRow& r : m.repairs) queued.push_back(r.chipId + " " + r.status);
    EXPECT_EQ(queued, (std::vector<std::string>{"C failed", "B failed", "D no complete run",
                                                "F no complete run"}));
    ASSERT_EQ(m.repairs.size(), 4u);
    EXPECT_EQ(m.repairs[1].station, "h1");  // B's last complete run, not its first
    EXPECT_EQ(m.repairs[1].timeStamp, "2026_01_03_08_00_00");
    EXPECT_EQ(m.repairs[2].station, "h3");  // D's latest run
}

namespace {

Measurement Judged(const std::string& port, double value, const char* unit, double low, double high,
                   const char* outcome) {
    Measurement x;
    x.port = port;
    x.value = value;
    x.unit = unit;
    x.hasLimits = true;
    x.low = low;
    x.high = high;
    x.outcome = outcome;
    return x;
}

}  // namespace

// Each failing port with the value judged failing, else its failure line cut short, else its
// name; a run failed without a failing port gives its first failure line.
TEST(ReportModel, RepairFailuresNameValuesOrReasons) {
    RunRecord run;
    run.ports = {PortResult{"RS232", 1, false, false}, PortResult{"ADC", 2, false, false},
                 PortResult{"DO", 3, true, false}, PortResult{"DI", 4, false, false},
                 PortResult{"USB", 1, false, false}};
    run.measurements = {Judged("ADC-2", 1.60, "V", 1.5, 1.7, "pass"),
                        Judged("ADC-2", 1.71, "V", 1.5, 1.7, "fail"),
                        Judged("RS232-1", 0, "bytes", 32, 32, "fail")};
    std::string longLine(100, 'x');
    run.failures = {FailureLine{1, "DI-4", longLine}, FailureLine{1, "DI-4", "second"}};
    EXPECT_EQ(RepairFailures(run),
              "RS232-1 0 bytes, expected 32; ADC-2 1.71 V, limits 1.5 to 1.7; DI-4 " +
                  longLine.substr(0, kRepairLineBytes) + "...; USB-1");
    RunRecord setUp;
    setUp.failures = {FailureLine{0, "", "open /dev/ttyS1 failed"}};
    EXPECT_EQ(RepairFailures(setUp), "open /dev/ttyS1 failed");
    setUp.failures[0].line = std::string(kRepairLineBytes - 1, 'a') + "\xc3\xa9";
    EXPECT_EQ(RepairFailures(setUp), std::string(kRepairLineBytes - 1, 'a') + "...");
}

// Only the failed boards in the queue are read, in one ask after the runs went by.
TEST(ReportModel, RepairQueueReadsOnlyTheFailedRuns) {
    std::vector<RunSummary> runs = {
        MakeRun("A", "h1", "2026_01_01_08_00_00", Verdict::Err, {Port("DO", 1, false)}),
        MakeRun("A", "h1", "2026_01_02_08_00_00", Verdict::Err, {Port("DO", 1, false)}),
        MakeRun("B", "h1", "2026_01_02_08_00_00", Verdict::Ok),
        MakeRun("C", "h1", "2026_01_02_08_00_00", Verdict::Incomplete)};
    for (size_t i = 0; i < runs.size(); ++i) runs[i].id = static_cast<long long>(i) + 1;
    ReportRows rows;
    rows.runs = [&](const RunSink& take) {
        for (const RunSummary& r : runs) take(r);
    };
    rows.voltReadings = [](const ReadingSink&) {};
    rows.runsWithoutDay = [] { return 0LL; };
    std::vector<std::vector<long long>> asked;
    rows.failing = [&asked](const std::vector<long long>& ids, const FailingSink& take) {
        asked.push_back(ids);
        RunRecord r;
        r.ports = {PortResult{"DO", 1, false, false}};
        r.failures = {FailureLine{1, "DO-1", "DO1 stuck"}};
        for (long long id : ids) take(id, r);
    };
    ReportModel m = BuildReport({}, rows);
    EXPECT_EQ(asked, (std::vector<std::vector<long long>>{{2}}));
    ASSERT_EQ(m.repairs.size(), 2u);
    EXPECT_EQ(m.repairs[0].failures, "DO-1 DO1 stuck");
    EXPECT_EQ(m.repairs[1].failures, "");
}

namespace {

RunSummary AtStation(RunSummary run, const std::string& station) {
    run.station = station;
    return run;
}

ReportModel BuildFiltered(const RunFilter& filter, const std::vector<RunSummary>& runs) {
    ReportBuilder b(filter);
    for (const RunSummary& r : runs) b.AddRun(r);
    return b.Finish();
}

}  // namespace

// An aborted run is an attempt: a board whose first run was aborted did not pass first time, its
// later runs are retests, and a board with aborted runs only is a board that did not pass.
TEST(ReportModel, AbortedFirstRunIsAnAttemptThatDidNotPass) {
    ReportModel m = Build({
        MakeRun("A", "h1", "2026_01_01_08_00_00", Verdict::Incomplete),
        MakeRun("A", "h1", "2026_01_01_09_00_00", Verdict::Ok),
        MakeRun("B", "h1", "2026_01_01_10_00_00", Verdict::Incomplete),
        MakeRun("C", "h1", "2026_01_01_11_00_00", Verdict::Ok),
        MakeRun("C", "h1", "2026_01_01_12_00_00", Verdict::Incomplete),
    });
    const YieldSummary& s = m.summary;
    EXPECT_EQ(s.boards, 3);
    EXPECT_EQ(s.firstPassed, 1);  // C
    EXPECT_EQ(s.finalPassed, 2);  // A, C: an abort after a pass leaves the pass
    EXPECT_EQ(s.retestedBoards, 2);
    EXPECT_EQ(s.retestRuns, 2);
    EXPECT_EQ(s.recovered, 1);  // A
    ASSERT_EQ(m.retests.size(), 2u);
    EXPECT_EQ(m.retests[0].firstVerdict, "INCOMPLETE");
    EXPECT_EQ(m.retests[0].finalVerdict, "OK");
    ASSERT_EQ(m.repairs.size(), 1u);
    EXPECT_EQ(m.repairs[0].chipId, "B");
}

// A day's first-pass and final yields are those of the boards first tested that day, beside the
// share of that day's runs that passed.
TEST(ReportModel, DaysGiveTheYieldsOfTheBoardsFirstTestedThatDay) {
    ReportModel m = Build({
        MakeRun("A", "h1", "2026_01_01_08_00_00", Verdict::Err),
        MakeRun("A", "h1", "2026_01_02_08_00_00", Verdict::Ok),
        MakeRun("B", "h1", "2026_01_02_09_00_00", Verdict::Ok),
        MakeRun("C", "h1", "2026_01_02_10_00_00", Verdict::Err),
    });
    ASSERT_EQ(m.days.size(), 2u);
    const DayRow& first = m.days[0];
    EXPECT_EQ(first.boards, 1);  // A only
    EXPECT_DOUBLE_EQ(first.yield, 0.0);
    EXPECT_DOUBLE_EQ(first.firstPassYield, 0.0);
    EXPECT_DOUBLE_EQ(first.finalYield, 1.0);  // A passed on its retest the day after
    const DayRow& second = m.days[1];
    EXPECT_EQ(second.runs, 3);
    EXPECT_DOUBLE_EQ(second.yield, 2.0 / 3);
    EXPECT_EQ(second.boards, 2);  // B and C; A's retest is not a board of this day
    EXPECT_DOUBLE_EQ(second.firstPassYield, 0.5);
    EXPECT_DOUBLE_EQ(second.finalYield, 0.5);
}

// Boards belong to the station of their first run (the host where no station is stored); a
// station's runs are all it made, retests of other stations' boards too.
TEST(ReportModel, StationTableCountsBoardsByTheirFirstStation) {
    ReportModel m = Build({
        AtStation(MakeRun("A", "h1", "2026_01_01_08_00_00", Verdict::Err), "S1"),
        AtStation(MakeRun("A", "h2", "2026_01_01_09_00_00", Verdict::Ok), "S2"),
        AtStation(MakeRun("B", "h1", "2026_01_01_10_00_00", Verdict::Ok), "S1"),
        MakeRun("C", "h3", "2026_01_01_11_00_00", Verdict::Ok),
    });
    ASSERT_EQ(m.stations.size(), 3u);
    const StationRow& s1 = m.stations[0];
    EXPECT_EQ(s1.station, "S1");
    EXPECT_EQ(s1.runs, 2);
    EXPECT_EQ(s1.boards, 2);
    EXPECT_DOUBLE_EQ(s1.firstPassYield, 0.5);
    EXPECT_DOUBLE_EQ(s1.finalYield, 1.0);
    EXPECT_EQ(s1.retestRuns, 1);  // A's, made on S2
    EXPECT_EQ(m.stations[1].station, "S2");
    EXPECT_EQ(m.stations[1].runs, 1);
    EXPECT_EQ(m.stations[1].boards, 0);
    EXPECT_EQ(m.stations[2].station, "h3");
    EXPECT_EQ(m.repairs.size(), 0u);
}

// With a station filter the builder still sees every station's runs: the selected station's
// cells are compared with the others (and flagged), its boards' retests elsewhere count for
// their final result, and a board first tested elsewhere is not its board.
TEST(ReportModel, StationFilterKeepsTheComparisonWithTheOtherStations) {
    std::vector<RunSummary> runs;
    for (int i = 0; i < 4; ++i) {
        std::string n = std::to_string(i);
        runs.push_back(AtStation(MakeRun("bad" + n, "h", "2026_01_01_08_00_0" + n, Verdict::Err,
                                         {Port("RS232", 1, false)}),
                                 "S1"));
        runs.push_back(AtStation(MakeRun("good" + n, "h", "2026_01_01_09_00_0" + n, Verdict::Ok,
                                         {Port("RS232", 1, true)}),
                                 "S2"));
    }
    runs.push_back(AtStation(
        MakeRun("bad0", "h", "2026_01_01_10_00_00", Verdict::Ok, {Port("RS232", 1, true)}), "S2"));
    runs.push_back(AtStation(
        MakeRun("good0", "h", "2026_01_01_11_00_00", Verdict::Err, {Port("RS232", 1, false)}),
        "S1"));
    RunFilter s1;
    s1.station = "S1";
    ReportModel m = BuildFiltered(s1, runs);
    EXPECT_EQ(m.summary.runs, 5);  // S1's own
    EXPECT_EQ(m.summary.boards, 4);
    EXPECT_EQ(m.summary.firstPassed, 0);
    EXPECT_EQ(m.summary.finalPassed, 1);  // bad0, retested good on S2
    EXPECT_EQ(m.repairs.size(), 3u);      // good0 is S2's board
    ASSERT_EQ(m.fixture.size(), 1u);
    FixtureCell cell = m.fixture[0];
    EXPECT_EQ(cell.host, "S1");
    EXPECT_EQ(cell.failures, 5);
    EXPECT_EQ(cell.othersRuns, 5);
    EXPECT_DOUBLE_EQ(cell.othersRate, 0.0);
    EXPECT_TRUE(cell.flagged);
    ASSERT_EQ(m.pareto.size(), 1u);
    EXPECT_EQ(m.pareto[0].failures, 5);
}

// A host filter selects by the run's host, with the same comparison.
TEST(ReportModel, HostFilterSelectsRunsOfThatHost) {
    RunFilter h1;
    h1.host = "h1";
    ReportModel m = BuildFiltered(h1, {MakeRun("A", "h1", "2026_01_01_08_00_00", Verdict::Ok),
                                       MakeRun("B", "h2", "2026_01_01_08_00_00", Verdict::Err)});
    EXPECT_EQ(m.summary.runs, 1);
    EXPECT_EQ(m.summary.boards, 1);
    EXPECT_TRUE(m.repairs.empty());
    EXPECT_TRUE(Selected(h1, MakeRun("C", "h1", "2026_01_01_08_00_00", Verdict::Ok)));
    EXPECT_FALSE(Selected(h1, MakeRun("C", "h2", "2026_01_01_08_00_00", Verdict::Ok)));
}

// Up to 31 days the trends are per day; past that per ISO week.
TEST(ReportModel, TrendsGroupByIsoWeekPastThirtyOneDays) {
    std::vector<RunSummary> month = {
        AtStation(MakeRun("A", "h", "2026_01_01_08_00_00", Verdict::Ok, {Port("DI", 1, false)}),
                  "S1"),
        AtStation(MakeRun("B", "h", "2026_01_31_08_00_00", Verdict::Err, {Port("DI", 1, false)}),
                  "S1"),
    };
    ReportModel daily = Build(month);
    EXPECT_EQ(daily.selection.trendPeriod, "day");
    ASSERT_EQ(daily.stationTrend.size(), 2u);
    EXPECT_EQ(daily.stationTrend[0].period, "2026-01-01");
    EXPECT_EQ(daily.selection.firstDay, "2026-01-01");
    EXPECT_EQ(daily.selection.lastDay, "2026-01-31");

    std::vector<RunSummary> longer = month;
    longer.push_back(AtStation(
        MakeRun("C", "h", "2026_02_01_08_00_00", Verdict::Ok, {Port("DI", 1, true)}), "S1"));
    longer.push_back(AtStation(
        MakeRun("D", "h", "2026_01_30_08_00_00", Verdict::Ok, {Port("DI", 1, false)}), "S1"));
    ReportModel weekly = Build(longer);
    EXPECT_EQ(weekly.selection.trendPeriod, "week");
    std::vector<std::string> rows;
    for (const StationTrendRow& r : weekly.stationTrend)
        rows.push_back(r.period + " " + r.station + " " + std::to_string(r.boards) + " " +
                       std::to_string(r.firstPassed));
    // 2026-01-30 to 2026-02-01 are one week (Friday to Sunday).
    EXPECT_EQ(rows, (std::vector<std::string>{"2026-W01 S1 1 1", "2026-W05 S1 3 2"}));
    ASSERT_EQ(weekly.portTrend.size(), 2u);
    EXPECT_EQ(weekly.portTrend[1].period, "2026-W05");
    EXPECT_EQ(weekly.portTrend[1].runs, 3);
    EXPECT_EQ(weekly.portTrend[1].failures, 2);
}

TEST(ReportModel, HoursAndRecentBoardsTakeTheBoardRuleOfTheYields) {
    ReportBuilder b({});
    b.KeepRecentBoards(2);
    for (const RunSummary& r : {
             MakeRun("A", "s1", "2026_12_07_08_10_00", Verdict::Err),
             MakeRun("A", "s2", "2026_12_07_09_05_00", Verdict::Ok),  // retest elsewhere, later
             MakeRun("B", "s1", "2026_12_07_08_50_00", Verdict::Ok),
             MakeRun("C", "s1", "2026_12_07_09_00_00", Verdict::Incomplete),
             MakeRun("D", "s2", "2026_12_07_09_30_00", Verdict::Err),
             // Rows without an ID at the same stamp: the one that came later is the last run.
             MakeRun("D", "s2", "2026_12_07_09_30_00", Verdict::Ok),
             MakeRun("E", "s2", "no stamp", Verdict::Ok),
         })
        b.AddRun(r);
    ReportModel m = b.Finish();
    ASSERT_EQ(m.hours.size(), 3u);  // E's stamp gives no hour
    EXPECT_EQ(m.hours[0].station, "s1");
    EXPECT_EQ(m.hours[0].hour, 8);
    EXPECT_EQ(m.hours[0].boards, 2);
    EXPECT_EQ(m.hours[0].finalPassed, 2);  // A passed at its retest
    EXPECT_DOUBLE_EQ(m.hours[0].firstPassYield, 0.5);
    EXPECT_EQ(m.hours[1].boards, 1);
    EXPECT_EQ(m.hours[1].finalPassed, 0);  // C has no complete run
    EXPECT_EQ(m.hours[2].station, "s2");
    EXPECT_EQ(m.hours[2].firstPassed, 0);
    EXPECT_EQ(m.hours[2].finalPassed, 1);  // D, by its later row, as the yields count it
    EXPECT_EQ(m.summary.finalPassed, 4);
    ASSERT_EQ(m.recent.size(), 2u);
    EXPECT_EQ(m.recent[0].boards, 2);  // B and C, the latest of s1
    EXPECT_EQ(m.recent[0].firstPassed, 1);
    EXPECT_EQ(m.recent[1].station, "s2");
    EXPECT_DOUBLE_EQ(m.recent[1].firstPassYield, 0.5);  // D failed first, E passed
}

namespace {

RunSummary WithId(RunSummary r, long long id) {
    r.id = id;
    return r;
}

Disposition DisposedAt(const std::string& chip, long long runId, const char* status) {
    Disposition d;
    d.chipId = chip;
    d.runId = runId;
    d.status = status;
    return d;
}

}  // namespace

// A disposition speaks for the runs stored before it: a later run takes the board out of the
// queue (passed) or back in as open (failed).
TEST(ReportModel, DispositionsLeaveTheQueueUntilTheBoardsNextRun) {
    std::vector<RunSummary> runs = {
        WithId(MakeRun("A", "h1", "2026_01_01_08_00_00", Verdict::Err), 1),
        WithId(MakeRun("B", "h1", "2026_01_01_09_00_00", Verdict::Err), 2),
        WithId(MakeRun("C", "h1", "2026_01_01_10_00_00", Verdict::Err), 3),
        WithId(MakeRun("D", "h1", "2026_01_01_11_00_00", Verdict::Err), 4),
        WithId(MakeRun("E", "h1", "2026_01_01_12_00_00", Verdict::Incomplete), 5),
        WithId(MakeRun("F", "h1", "2026_01_01_13_00_00", Verdict::Err), 6),
        WithId(MakeRun("C", "h1", "2026_01_02_10_00_00", Verdict::Err), 7),
        WithId(MakeRun("D", "h1", "2026_01_02_11_00_00", Verdict::Ok), 8),
    };
    ReportRows rows;
    rows.runs = [&](const RunSink& take) {
        for (const RunSummary& r : runs) take(r);
    };
    rows.voltReadings = [](const ReadingSink&) {};
    rows.runsWithoutDay = [] { return 0LL; };
    rows.dispositions = [](const DispositionSink& take) {
        take(DisposedAt("A", 1, kDisposeScrapped));
        take(DisposedAt("B", 2, kDisposeRepaired));
        take(DisposedAt("C", 3, kDisposeRepaired));
        take(DisposedAt("D", 4, kDisposeRepaired));
        take(DisposedAt("E", 5, kDisposeReturned));
    };
    std::vector<std::vector<long long>> asked;
    rows.failing = [&asked](const std::vector<long long>& ids, const FailingSink& take) {
        asked.push_back(ids);
        RunRecord failing;
        failing.ports.push_back(PortResult{"RS232", 1, false, false});
        failing.failures.push_back(FailureLine{1, "RS232-1", "no echo"});
        for (long long id : ids) take(id, failing);
    };
    std::vector<std::string> queued;
    for (const RepairRow& r : BuildReport({}, rows).repairs)
        queued.push_back(r.chipId + " " + r.status + " " + (r.failures.empty() ? "-" : "quoted"));
    EXPECT_EQ(queued, (std::vector<std::string>{"C failed quoted", "F failed quoted",
                                                "B repaired, awaiting retest quoted"}));
    // An output that lists the head of the queue reads the failing values of the head alone.
    asked.clear();
    std::vector<RepairRow> head = BuildReport({}, rows, 0, 2).repairs;
    EXPECT_EQ(asked, (std::vector<std::vector<long long>>{{6, 7}}));
    ASSERT_EQ(head.size(), 3u);
    EXPECT_TRUE(head[2].failures.empty());
}

TEST(ReportModel, TimeInQueueRunsFromTheShownRunsStamp) {
    std::vector<RepairRow> rows(3);
    rows[0].timeStamp = "2026_01_01_08_00_00";
    rows[1].timeStamp = "2026_01_09_08_00_00";  // after the report's time: a clock set wrong
    rows[2].timeStamp = "not a stamp";
    std::tm clock{};
    ASSERT_TRUE(StampClock(rows[0].timeStamp, clock));
    std::time_t now = std::mktime(&clock) + 3 * 3600 + 59;
    SetQueueTimes(rows, now);
    EXPECT_TRUE(rows[0].queueKnown);
    EXPECT_EQ(rows[0].queueSeconds, 3 * 3600 + 59);
    EXPECT_FALSE(rows[1].queueKnown);
    EXPECT_FALSE(rows[2].queueKnown);
    EXPECT_EQ(QueueTimeText(rows[0].queueSeconds), "3 h");
    EXPECT_EQ(QueueTimeText(59 * 60 + 59), "59 min");
    EXPECT_EQ(QueueTimeText(2 * 86400 + 1), "2 d");
}
