// One way from a store to the model: the days are read whole and the filter's own readings and
// undated runs added; the screen's reading skips the readings and adds the latest runs.
#include "readReport.h"

#include <gtest/gtest.h>

using namespace yield;

namespace {

// Two runs of one day on two hosts, one reading per host, one undated run per filter.
class FakeStore : public ReadStore {
public:
    void ForEachRun(const RunFilter& f, const RunSink& take) override {
        for (const char* host : {"h1", "h2"}) {
            RunSummary r;
            r.id = host[1] - '0';
            r.host = host;
            r.chipId = std::string("chip-") + host;
            r.timeStamp = "2026_12_07_08_00_00";
            r.day = "2026-12-07";
            r.hour = 8;
            r.verdict = Verdict::Ok;
            r.ports = {PortResult{"DI", 5, host[1] == '1', false}};
            if (f.host.empty() || f.host == host) take(r);
        }
    }
    void ForEachVoltReading(const RunFilter& f, const ReadingSink& take) override {
        take(NamedValue{0, "AI1", f.host.empty() ? 1.6 : 1.5, ""}, f.host.empty() ? 2 : 1);
    }
    std::vector<RunSummary> NewestRuns(long long n) override {
        std::vector<RunSummary> out;
        ForEachRun({}, [&out](const RunSummary& r) { out.push_back(r); });
        out.resize(std::min<size_t>(out.size(), static_cast<size_t>(n)));
        return out;
    }
    long long CountRunsWithoutDay(const RunFilter& f) override { return f.host.empty() ? 5 : 3; }
    void ForEachFailing(const std::vector<long long>&, const FailingSink&) override {}
    std::vector<long long> RunIds(const RunFilter&) override { return {}; }
    std::vector<long long> NewestRunIds(long long) override { return {}; }
    std::vector<long long> RunIdsOfChip(const std::string&) override { return {}; }
    std::vector<std::string> ChipIdsLike(const std::string&) override { return {}; }
    RunRecord LoadRun(long long) override { return {}; }
    std::vector<SourceRow> SourcesOf(long long) override { return {}; }
    std::vector<SourceRow> ProblemFiles() override { return {}; }
};

}  // namespace

TEST(ReadReport, AStationIsComparedWithTheDaysOthers) {
    FakeStore store;
    RunFilter f = DayFilter("2026-12-07");
    f.host = "h1";
    ReportModel m = ReadReport(store, f, {"2026-12-08T00:00:00Z", "test.db"});
    EXPECT_EQ(m.summary.runs, 1);
    EXPECT_EQ(m.summary.noDayRuns, 3);  // h1's own
    ASSERT_EQ(m.analogue.size(), 1u);
    EXPECT_EQ(m.analogue[0].count, 1);  // h1's own reading
    ASSERT_EQ(m.fixture.size(), 1u);
    EXPECT_EQ(m.fixture[0].othersRuns, 1);  // h2's run of the day
    EXPECT_EQ(m.selection.database, "test.db");
    EXPECT_TRUE(m.latest.empty());
    EXPECT_TRUE(m.recent.empty());
}

TEST(ReadReport, TheScreenReadsNoReadingsAndTheLatestRuns) {
    FakeStore store;
    ReportModel m = ReadReport(store, DayFilter("2026-12-07"), ScreenReading(1));
    EXPECT_TRUE(m.analogue.empty());
    ASSERT_EQ(m.latest.size(), 2u);
    EXPECT_EQ(m.latest[1].failing, "DI-5");
    EXPECT_EQ(m.latest[1].verdict, "OK");
    ASSERT_EQ(m.recent.size(), 2u);
    EXPECT_EQ(m.recent[0].boards, 1);
    ASSERT_EQ(m.hours.size(), 2u);
    EXPECT_EQ(m.hours[1].station, "h2");
}
