// The server stopped in the middle of an ingest: the command ends with one line and status 3,
// the batches it committed stay whole, and the next ingest completes the data with nothing
// doubled.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <chrono>
#include <thread>

#include "pgTestSupport.h"

namespace fs = std::filesystem;
using yieldtest::Q;
using yieldtest::TempDir;

TEST(InterruptedIngest, ServerStoppedMidwayThenRestartedCompletesOnce) {
    TempDir tmp;
    constexpr int kRuns = 6000;
    yieldtest::MakeRuns(tmp.path() / "logs", 0, kRuns, false);
    yieldtest::OwnServer server;
    ASSERT_TRUE(server.ok());
    std::string url = server.Url("postgres");

    pid_t ingest = yieldtest::StartTool("ingest --db " + Q(url) + " " + Q(tmp.path() / "logs"),
                                        tmp.path() / "first.out");
    long long stored = 0;
    for (int i = 0; i < 2000 && stored < 1000; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        stored = yieldtest::StoredRuns(url);
    }
    ASSERT_GE(stored, 1000) << "the first batch never came";
    ASSERT_EQ(server.StopServer(), 0);
    EXPECT_EQ(yieldtest::WaitTool(ingest), 3);
    std::string said = yieldtest::ReadAll(tmp.path() / "first.out");
    EXPECT_EQ(said.rfind("devuzeV7-yield ingest: database: ", 0), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;

    ASSERT_EQ(server.Restart(), 0);
    long long kept = yieldtest::StoredRuns(url);
    EXPECT_EQ(kept % 1000, 0) << "a batch was stored in part";
    EXPECT_LT(kept, kRuns) << "the ingest was over before the server stopped";

    yieldtest::Result again =
        yieldtest::Tool("ingest --db " + Q(url) + " " + Q(tmp.path() / "logs"));
    ASSERT_EQ(again.status, 0) << again.out;
    EXPECT_NE(again.out.find(std::to_string(kRuns - kept) + " runs new, 0 replaced, 0 copies, " +
                             std::to_string(kept) + " unchanged"),
              std::string::npos)
        << again.out;
    EXPECT_EQ(yieldtest::StoredRuns(url), kRuns);
}
