// Two watchers and an ingest writing into one server at once, their folders overlapping: every
// run stored once, from its whole copy; SIGTERM ends each watcher with status 0.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "pgTestSupport.h"
#include "testDb.h"

namespace fs = std::filesystem;
using yieldtest::Q;
using yieldtest::TempDir;
using yieldtest::TestDb;

namespace {

constexpr int kRuns = 300;
constexpr auto kDeadline = std::chrono::seconds(60);

long long WaitForRuns(TestDb& db, long long runs) {
    auto end = std::chrono::steady_clock::now() + kDeadline;
    long long now = -1;
    while (std::chrono::steady_clock::now() < end) {
        now = db.Count("SELECT count(*) FROM runs WHERE verdict = 'OK'");
        if (now == runs) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return now;
}

TEST(Watchers, TwoWatchersAndAnIngestStoreEachRunOnce) {
    TempDir tmp;
    auto pg = TestDb::Make("postgresql");
    fs::path line = tmp.path() / "line";
    fs::create_directories(line);
    std::string db = " --db " + Q(pg->Url()) + " ";
    pid_t whole = yieldtest::StartTool("watch" + db + Q(line), tmp.path() / "w1");
    pid_t half = yieldtest::StartTool("watch" + db + Q(line / "b"), tmp.path() / "w2");
    // Cut copies first, then the whole ones beside them, then a folder an ingest reads too.
    yieldtest::MakeRuns(line / "b" / "cut", 0, kRuns / 2, true);
    yieldtest::MakeRuns(line / "a", 0, kRuns / 2, false);
    yieldtest::MakeRuns(line / "b" / "more", kRuns / 2, kRuns / 2, false, true);
    EXPECT_EQ(yieldtest::Tool("ingest" + db + Q(line / "b" / "more")).status, 0);

    EXPECT_EQ(WaitForRuns(*pg, kRuns), kRuns);
    EXPECT_EQ(pg->Count("SELECT count(*) FROM runs"), kRuns);
    EXPECT_EQ(pg->Count("SELECT count(*) FROM source_files s JOIN runs r ON r.id = s.run_id"
                        " WHERE s.role = 'kept' AND s.complete = 0"),
              0);
    kill(whole, SIGTERM);
    kill(half, SIGTERM);
    EXPECT_EQ(yieldtest::WaitTool(whole), 0) << yieldtest::ReadAll(tmp.path() / "w1");
    EXPECT_EQ(yieldtest::WaitTool(half), 0) << yieldtest::ReadAll(tmp.path() / "w2");
}

}  // namespace
