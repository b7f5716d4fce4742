// The line screen's change signal on a PostgreSQL server: each commit of an ingest moves it, a
// second ingest of the same files does not.
#include "store/changeWatcher.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <chrono>
#include <thread>

#include "ingest/ingest.h"
#include "store/openStore.h"
#include "testDb.h"
#include "testSupport.h"

using yieldtest::GoldenFlashLog;
using yieldtest::TestDb;

namespace {

// The version once it moved from `before`, or `before` when it did not within a few seconds: a
// notification reaches the listening connection just after the commit.
std::string Moved(yield::ChangeWatcher& changes, const std::string& before) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::string now = changes.Version();
    while (now == before && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        now = changes.Version();
    }
    return now;
}

}  // namespace

TEST(PgChangeWatcher, MovesWithEachCommitOnly) {
    auto pg = TestDb::Make("postgresql");
    const std::string url = pg->Url();
    auto ingest = [&url](const std::string& scenario) {
        yield::Ingest(*yield::OpenStore(url, true), {GoldenFlashLog(scenario).string()}, nullptr);
    };
    yield::OpenStore(url, true);
    auto changes = yield::OpenChangeWatcher(url);
    std::string empty = changes->Version();
    ingest("standard");
    std::string one = Moved(*changes, empty);
    EXPECT_NE(one, empty);
    ingest("standard");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(changes->Version(), one);
    ingest("dio-stuck-di5-0");
    EXPECT_NE(Moved(*changes, one), one);
}

// The server ends the listening connection: the wait that finds it gone fails, and the next one
// listens again and reports a change, since what was sent meanwhile is lost.
TEST(PgChangeWatcher, ListensAgainAfterALostConnection) {
    auto pg = TestDb::Make("postgresql");
    const std::string url = pg->Url();
    yield::OpenStore(url, true);
    auto watcher = yield::OpenChangeWatcher(url);
    PGconn* admin = PQconnectdb(url.c_str());
    ASSERT_EQ(PQstatus(admin), CONNECTION_OK) << PQerrorMessage(admin);
    PQclear(PQexec(admin,
                   "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE query LIKE"
                   " 'LISTEN%' AND datname = current_database() AND pid <> pg_backend_pid()"));
    PQfinish(admin);
    EXPECT_THROW(watcher->WaitForChange(10000), yield::StoreError);
    EXPECT_TRUE(watcher->WaitForChange(0));
    EXPECT_FALSE(watcher->WaitForChange(300));
    yield::Ingest(*yield::OpenStore(url, true), {GoldenFlashLog("standard").string()}, nullptr);
    EXPECT_TRUE(watcher->WaitForChange(10000));
}
