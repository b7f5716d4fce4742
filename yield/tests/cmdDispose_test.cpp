// `dispose` as a person at the repair desk uses it: the board found as `board` finds it, the
// history shown by `board`, and the queue of the report.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "testSupport.h"

using namespace yieldtest;

TEST(Dispose, RecordedDispositionsShowInTheBoardAndTakeTheBoardOutOfTheQueue) {
    TempDir tmp;
    const std::string db = " --db " + Q(tmp.path() / "y.db");
    ASSERT_EQ(Tool("ingest" + db + " " + Q(GoldenFlashLog("dio-stuck-di5-0"))).status, 0);
    auto queued = [&db] {
        return nlohmann::json::parse(Tool("report --format json" + db).out)["repair_queue"];
    };
    ASSERT_EQ(queued().size(), 1u);

    EXPECT_EQ(Tool("dispose" + db + " 0xDEAD --as repaired --by ana").status, 1);
    EXPECT_EQ(Tool("dispose" + db + " 1a2b3c4d --as repaired --by ana --note 'DI-5 relay'").status,
              0);
    ASSERT_EQ(queued().size(), 1u);
    EXPECT_EQ(queued()[0]["status"], "repaired, awaiting retest");
    EXPECT_EQ(Tool("dispose" + db + " 0x1A2B3C4D --as returned --by bo").status, 0);
    EXPECT_TRUE(queued().empty());

    Result board = Tool("board --format json" + db + " 0x1A2B3C4D");
    auto history = nlohmann::json::parse(board.out)["dispositions"];
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0]["note"], "DI-5 relay");
    EXPECT_EQ(history[1]["status"], "returned");
    EXPECT_NE(Tool("board" + db + " 0x1A2B3C4D").out.find("returned by bo"), std::string::npos);
}
