// Several stations uploading at once, their folders overlapping and met in opposite orders: each
// run is stored once, from its most complete copy, and the report is the one a single ingest of
// everything gives.
#include <gtest/gtest.h>

#include "pgTestSupport.h"
#include "testDb.h"

namespace fs = std::filesystem;
using yieldtest::Q;
using yieldtest::TempDir;
using yieldtest::TestDb;

TEST(ConcurrentIngests, OverlappingFoldersStoreEachRunOnce) {
    TempDir tmp;
    constexpr int kRuns = 1800;
    // a: runs 0-1199 in order; b: 600-1799 in reverse order; c: 300-1499 with 300-899 cut short
    // (the whole copies are in a and b); d: the same files as a.
    yieldtest::MakeRuns(tmp.path() / "a", 0, 1200, false);
    yieldtest::MakeRuns(tmp.path() / "b", 600, 1200, false, true);
    yieldtest::MakeRuns(tmp.path() / "c", 300, 600, true);
    yieldtest::MakeRuns(tmp.path() / "c", 900, 600, false);
    std::vector<std::string> folders = {"a", "b", "c", "a"};

    auto pg = TestDb::Make("postgresql");
    std::vector<pid_t> ingests;
    for (size_t i = 0; i < folders.size(); ++i) {
        ingests.push_back(
            yieldtest::StartTool("ingest --db " + Q(pg->Url()) + " " + Q(tmp.path() / folders[i]),
                                 tmp.path() / ("out" + std::to_string(i))));
    }
    for (size_t i = 0; i < ingests.size(); ++i) {
        EXPECT_EQ(yieldtest::WaitTool(ingests[i]), 0)
            << yieldtest::ReadAll(tmp.path() / ("out" + std::to_string(i)));
    }

    EXPECT_EQ(pg->Count("SELECT count(*) FROM runs"), kRuns);
    EXPECT_EQ(pg->Count("SELECT count(DISTINCT (host, chip_id, start_stamp)) FROM runs"), kRuns);
    EXPECT_EQ(pg->Count("SELECT count(*) FROM runs WHERE verdict = 'OK'"), kRuns);
    EXPECT_EQ(pg->Count("SELECT count(*) FROM source_files"), 3600);
    EXPECT_EQ(pg->Count("SELECT count(*) FROM source_files WHERE role = 'kept'"), kRuns);
    EXPECT_EQ(pg->Count("SELECT count(DISTINCT run_id) FROM source_files WHERE role = 'kept'"),
              kRuns);
    EXPECT_EQ(pg->Count("SELECT count(*) FROM source_files s JOIN runs r ON r.id = s.run_id"
                        " WHERE s.role = 'kept' AND s.complete = 0"),
              0);
    // Every run's rows once: as many as the same run has when stored alone.
    long long perRun = pg->Count("SELECT count(*) FROM measurements") / kRuns;
    EXPECT_EQ(pg->Count("SELECT count(*) FROM measurements"), perRun * kRuns);
    EXPECT_EQ(pg->Count("SELECT count(*) FROM (SELECT run_id FROM measurements GROUP BY run_id"
                        " HAVING count(*) <> " +
                        std::to_string(perRun) + ") x"),
              0);

    auto sqlite = TestDb::Make("sqlite");
    ASSERT_EQ(yieldtest::Tool("ingest --db " + Q(sqlite->Url()) + " " + Q(tmp.path())).status, 0);
    yieldtest::Result one = yieldtest::Tool("report --format json --db " + Q(sqlite->Url()),
                                            yieldtest::kFixedReportTime);
    yieldtest::Result many =
        yieldtest::Tool("report --format json --db " + Q(pg->Url()), yieldtest::kFixedReportTime);
    ASSERT_EQ(many.status, 0) << many.out;
    EXPECT_EQ(yieldtest::WithoutDatabase(many.out, pg->Url()),
              yieldtest::WithoutDatabase(one.out, sqlite->Url()));
}
