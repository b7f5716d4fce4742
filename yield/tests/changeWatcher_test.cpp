// What the dashboard waits on: a change seen once an ingest commits, and only then. Built for
// each engine (YIELD_TEST_ENGINE).
#include "store/changeWatcher.h"

#include <gtest/gtest.h>

#include "ingest/ingest.h"
#include "store/openStore.h"
#include "testDb.h"
#include "testSupport.h"

namespace fs = std::filesystem;
using namespace yield;
using yieldtest::TempDir;

namespace {

// Long enough for any server to deliver; a change comes well before it.
constexpr int kDeliveryMs = 10000;
// How long a change that must not come is waited for.
constexpr int kQuietMs = 300;

class ChangeWatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        db_ = yieldtest::TestDb::Make(YIELD_TEST_ENGINE);
        store_ = OpenStore(db_->Url(), true);
        watcher_ = OpenChangeWatcher(db_->Url());
        for (const char* scenario : {"standard", "usb-none", "adc-boundaries"}) {
            fs::path log = yieldtest::GoldenFlashLog(scenario);
            fs::copy_file(log, tmp_.path() / log.filename());
        }
    }

    // An ingest of its own, as another process would make it.
    IngestStats IngestLogs() {
        auto writer = OpenStore(db_->Url(), true);
        return Ingest(*writer, {tmp_.path().string()}, nullptr);
    }

    TempDir tmp_;
    std::unique_ptr<yieldtest::TestDb> db_;
    std::unique_ptr<RunStore> store_;
    std::unique_ptr<ChangeWatcher> watcher_;
};

TEST_F(ChangeWatcherTest, SeesEachCommitOnceAndNothingWithoutOne) {
    EXPECT_FALSE(watcher_->WaitForChange(kQuietMs));
    ASSERT_EQ(IngestLogs().runsNew, 3);
    EXPECT_TRUE(watcher_->WaitForChange(kDeliveryMs));
    EXPECT_FALSE(watcher_->WaitForChange(kQuietMs));  // the one change was reported
    // The same files again: nothing written, nothing to tell.
    ASSERT_EQ(IngestLogs().unchanged, 3);
    EXPECT_FALSE(watcher_->WaitForChange(kQuietMs));
    // A new file after that is seen again.
    yieldtest::WriteAll(tmp_.path() / "sub" / "copy.log",
                        yieldtest::ReadAll(yieldtest::GoldenFlashLog("dio-stuck-di5-0")));
    ASSERT_EQ(IngestLogs().runsNew, 1);
    EXPECT_TRUE(watcher_->WaitForChange(kDeliveryMs));
}

TEST_F(ChangeWatcherTest, ARolledBackBatchTellsNothing) {
    auto writer = OpenStore(db_->Url(), true);
    writer->Begin();
    writer->PutProblem(SourceFile("/line/empty.log", 0, 1), "empty file", false);
    writer->AnnounceChange(1);
    writer->Rollback();
    EXPECT_FALSE(watcher_->WaitForChange(kQuietMs));
    writer->Begin();
    writer->PutProblem(SourceFile("/line/empty.log", 0, 1), "empty file", false);
    writer->AnnounceChange(0);
    writer->Commit();
    EXPECT_TRUE(watcher_->WaitForChange(kDeliveryMs));
}

TEST(ChangeWatcher, RefusesADatabaseItCannotOpen) {
    TempDir tmp;
    EXPECT_THROW(OpenChangeWatcher((tmp.path() / "none" / "yield.db").string()), StoreError);
    EXPECT_THROW(OpenChangeWatcher("postgresql:x"), StoreError);
}

}  // namespace

// A reader follows the file the reports read: one put in the database's place is watched from
// then on, and being put there is itself a change.
TEST(ChangeWatcher, FollowsASqliteFileReplacedUnderIt) {
    TempDir tmp;
    const std::string db = (tmp.path() / "yield.db").string();
    const std::string other = (tmp.path() / "other.db").string();
    OpenStore(db, true);
    auto watcher = OpenChangeWatcher(db);
    fs::copy_file(db, other);
    fs::rename(other, db);
    EXPECT_TRUE(watcher->WaitForChange(kDeliveryMs));
    EXPECT_FALSE(watcher->WaitForChange(kQuietMs));
    auto writer = OpenStore(db, true);
    writer->Begin();
    writer->PutProblem(SourceFile("/line/empty.log", 0, 1), "empty file", false);
    writer->Commit();
    EXPECT_TRUE(watcher->WaitForChange(kDeliveryMs)) << "the new file's commits are seen";
}
