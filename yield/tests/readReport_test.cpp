// One way from a store to the model: the screen's reading skips the analogue readings and adds
// the latest runs and each station's window; the others read them and add neither.
#include "report/readReport.h"

#include <gtest/gtest.h>

using namespace yield;

namespace {

// One run of the day on each of two hosts, and a reading.
class FakeStore : public ReadStore {
public:
    void ForEachRun(const RunFilter&, const RunSink& take) override {
        for (const RunSummary& r : NewestRuns(2)) take(r);
    }
    void ForEachVoltReading(const RunFilter&, const ReadingSink& take) override {
        take(NamedValue{0, "AI1", 1.6, ""}, 2);
    }
    std::vector<RunSummary> NewestRuns(long long n) override {
        std::vector<RunSummary> out;
        for (int i = 1; i <= n && i <= 2; ++i) {
            std::string host = "h" + std::to_string(i);
            out.push_back(RunSummary{i,
                                     host,
                                     "",
                                     "chip-" + host,
                                     "2026_12_07_08_00_00",
                                     "2026-12-07",
                                     8,
                                     Verdict::Err,
                                     {PortResult{"DI", 5, false, false}}});
        }
        return out;
    }
    long long CountRunsWithoutDay(const RunFilter&) override { return 0; }
    void ForEachFailing(const std::vector<long long>&, const FailingSink&) override {}
    std::vector<long long> RunIds(const RunFilter&) override { return {}; }
    std::vector<long long> NewestRunIds(long long) override { return {}; }
    std::vector<long long> RunIdsOfChip(const std::string&) override { return {}; }
    std::vector<std::string> ChipIdsLike(const std::string&) override { return {}; }
    RunRecord LoadRun(long long) override { return {}; }
    std::vector<SourceRow> SourcesOf(long long) override { return {}; }
    std::vector<SourceRow> ProblemFiles() override { return {}; }
    std::vector<StationUpload> StationUploads(const std::string&) override { return {}; }
    std::vector<AlarmRow> AlarmHistory(long long) override { return {}; }
};

}  // namespace

TEST(ReadReport, TheScreenReadsNoReadingsButItsLatestRunsAndWindows) {
    FakeStore store;
    ReportModel report = ReadReport(store, DayFilter("2026-12-07"), {"", "test.db"});
    EXPECT_EQ(report.analogue.size(), 1u);
    EXPECT_EQ(report.selection.database, "test.db");
    EXPECT_TRUE(report.latest.empty());
    EXPECT_TRUE(report.recent.empty());
    EXPECT_TRUE(report.hours.empty());  // no report shows them: one entry per station and hour

    ReportModel screen = ReadReport(store, DayFilter("2026-12-07"), ScreenReading(1));
    EXPECT_TRUE(screen.analogue.empty());
    ASSERT_EQ(screen.latest.size(), 2u);
    EXPECT_EQ(screen.latest[1].failing, "DI-5");
    EXPECT_EQ(screen.latest[1].verdict, "ERR");
    ASSERT_EQ(screen.recent.size(), 2u);
    EXPECT_EQ(screen.recent[1].station, "h2");
    ASSERT_EQ(screen.hours.size(), 2u);
    EXPECT_EQ(screen.hours[0].hour, 8);
}
