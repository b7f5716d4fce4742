// The screen's worker over a database that is not there yet.
#include "serve/dbWorker.h"

#include <gtest/gtest.h>

#include "ingest/ingest.h"
#include "store/openStore.h"
#include "testSupport.h"

namespace yield {
namespace {

namespace fs = std::filesystem;

// A line set up in any order: serve started before the first ingest made the database says it
// waits, never makes the database itself, and shows the runs once they are stored.
TEST(DbWorker, ADatabaseNotMadeYetIsWaitedForAndReadOnceItIs) {
    yieldtest::TempDir tmp;
    ServeOptions o;
    o.db = (tmp.path() / "line.db").string();
    o.day = "2026-12-07";
    Live live;
    DbWorker worker(o, live);
    EXPECT_NE(live.Body().find("waiting for the database"), std::string::npos) << live.Body();
    worker.Start();
    uint64_t seen = live.Generation();
    EXPECT_FALSE(fs::exists(o.db));
    Ingest(*OpenStore(o.db, true), {yieldtest::GoldenFlashLog("standard").string()}, nullptr);
    // Waits for the worker's next poll to read it (bounded, so a fault ends the test).
    for (int tries = 0; tries < 60 && live.Body().find(kUnreadable) != std::string::npos; ++tries)
        seen = live.WaitChange(seen, std::chrono::seconds(1));
    EXPECT_EQ(live.Body().find(kUnreadable), std::string::npos) << live.Body();
    EXPECT_NE(live.Body().find("0x1A2B3C4D"), std::string::npos) << live.Body();
    EXPECT_TRUE(worker.Stop(std::chrono::steady_clock::now() + std::chrono::seconds(10)));
}

}  // namespace
}  // namespace yield
