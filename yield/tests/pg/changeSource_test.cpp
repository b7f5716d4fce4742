// The line screen's change signal on a PostgreSQL server: each commit of an ingest moves it, a
// second ingest of the same files does not.
#include "changeSource.h"

#include <gtest/gtest.h>

#include "ingest.h"
#include "openStore.h"
#include "testDb.h"
#include "testSupport.h"

using yieldtest::GoldenFlashLog;
using yieldtest::TestDb;

TEST(PgChangeSource, MovesWithEachCommitOnly) {
    auto pg = TestDb::Make("postgresql");
    const std::string url = pg->Url();
    auto ingest = [&url](const std::string& scenario) {
        yield::Ingest(*yield::OpenStore(url, true), {GoldenFlashLog(scenario).string()}, nullptr);
    };
    yield::OpenStore(url, true);
    auto changes = yield::OpenPollingChangeSource(url);
    std::string empty = changes->Version();
    ingest("standard");
    std::string one = changes->Version();
    EXPECT_NE(one, empty);
    ingest("standard");
    EXPECT_EQ(changes->Version(), one);
    ingest("dio-stuck-di5-0");
    EXPECT_NE(changes->Version(), one);
}
