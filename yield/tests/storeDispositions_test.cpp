#include <gtest/gtest.h>

#include "ingest/ingest.h"
#include "store/openStore.h"
#include "testDb.h"
#include "testSupport.h"

namespace fs = std::filesystem;
using namespace yield;
using yieldtest::TestDb;

namespace {

constexpr char kChip[] = "0x1A2B3C4D";  // the failing golden log's board

class DispositionStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto store = OpenStore(db_->Url(), true);
        Ingest(*store, {(fs::path(YIELD_GOLDEN_DIR) / "dio-stuck-di5-0").string()}, nullptr);
    }
    Disposition Asked(const char* status, const char* at) {
        Disposition d;
        d.chipId = kChip;
        d.status = status;
        d.by = "ana";
        d.note = "USB-1 connector\nresoldered";
        d.at = at;
        return d;
    }
    std::unique_ptr<TestDb> db_ = TestDb::Make(YIELD_TEST_ENGINE);
};

}  // namespace

TEST_F(DispositionStoreTest, HistoryIsOnlyEverAddedToAndNamesTheBoardsNewestRun) {
    auto store = OpenStore(db_->Url(), true);
    long long newest =
        db_->Count(std::string("SELECT max(id) FROM runs WHERE chip_id = '") + kChip + "'");
    const std::string queue =
        std::string("SELECT status FROM v_repair_queue WHERE chip_id = '") + kChip + "'";
    EXPECT_EQ(db_->Rows(queue), "failed|\n");
    std::optional<Disposition> first =
        store->Dispose(Asked(kDisposeRepaired, "2026-12-07T10:00:00Z"));
    EXPECT_EQ(db_->Rows(queue), "repaired, awaiting retest|\n");
    std::optional<Disposition> second =
        store->Dispose(Asked(kDisposeScrapped, "2026-12-07T11:00:00Z"));
    EXPECT_EQ(db_->Rows(queue), "");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->runId, newest);
    EXPECT_LT(first->id, second->id);
    Disposition unknown = Asked(kDisposeReturned, "2026-12-07T12:00:00Z");
    unknown.chipId = "0xFFFF";
    EXPECT_FALSE(store->Dispose(unknown));

    std::vector<Disposition> history = OpenStore(db_->Url(), false)->DispositionsOf(kChip);
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].status, kDisposeRepaired);
    EXPECT_EQ(history[0].note, "USB-1 connector\nresoldered");
    EXPECT_EQ(history[1].at, "2026-12-07T11:00:00Z");
    std::vector<std::string> latest;
    store->ForEachLatestDisposition([&](const Disposition& d) { latest.push_back(d.status); });
    EXPECT_EQ(latest, std::vector<std::string>{kDisposeScrapped});

    EXPECT_THROW(db_->Rows("UPDATE dispositions SET status = 'repaired'"), std::exception);
    EXPECT_THROW(db_->Rows("DELETE FROM dispositions"), std::exception);
    EXPECT_EQ(db_->Count("SELECT count(*) FROM dispositions"), 2);
    EXPECT_EQ(db_->Count("SELECT count(*) FROM v_dispositions"), 2);
}

TEST_F(DispositionStoreTest, VersionTwoDatabaseIsUpgradedByTheNextWriter) {
    yieldtest::BackToVersionTwo(*db_);
    EXPECT_THROW(OpenStore(db_->Url(), false), StoreError);
    auto store = OpenStore(db_->Url(), true);
    EXPECT_TRUE(store->Dispose(Asked(kDisposeReturned, "2026-12-07T10:00:00Z")));
    EXPECT_EQ(db_->Count("SELECT count(*) FROM v_dispositions"), 1);
    EXPECT_EQ(db_->Count(std::string("SELECT count(*) FROM v_repair_queue WHERE chip_id = '") +
                         kChip + "'"),
              0);
}
