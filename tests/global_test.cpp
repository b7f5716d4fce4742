#include "global.h"

#include <gtest/gtest.h>

#include <cstring>

#include "FakeSys.h"
#include "TempLog.h"
#include "hwPaths.h"

TEST(ProcessorId, StoredWithoutLineFeedAndCommandLoggedOverTwoLines) {
    TempLog log;
    FakeSys sys;
    sys.SetOutput(hw::kCmdProcessorId, "0x1A2B3C4D");
    char id[256] = {};
    EXPECT_EQ(0, Getimx6ullID(id, sizeof id));
    EXPECT_STREQ("0x1A2B3C4D", id);
    std::string text = log.Text();
    EXPECT_NE(std::string::npos, text.find("HW_OCOTP_CFG1 | tr -d '\n'...\tglobal Getimx6ullID"));
}

TEST(ProcessorId, NothingPrintedKeepsBuffer) {
    TempLog log;
    FakeSys sys;
    char id[16] = "old";
    EXPECT_EQ(0, Getimx6ullID(id, sizeof id));
    EXPECT_STREQ("old", id);
}

TEST(ProcessorId, BadArgumentsAndPopenFailure) {
    TempLog log;
    FakeSys sys;
    EXPECT_EQ(-1, Getimx6ullID(nullptr, 256));
    EXPECT_TRUE(log.Text().empty());
    char id[8] = "keep";
    EXPECT_EQ(-1, Getimx6ullID(id, 0));
    EXPECT_STREQ("keep", id);
    sys.FailPopen(hw::kCmdProcessorId);
    EXPECT_EQ(-1, Getimx6ullID(id, 8));
    EXPECT_STREQ("keep", id);
    EXPECT_NE(std::string::npos, log.Text().find("error!\tglobal Getimx6ullID"));
}

TEST(ProcessorId, SmallBufferIsAlwaysTerminated) {
    TempLog log;
    FakeSys sys;
    sys.SetOutput(hw::kCmdProcessorId, "ABCDEFGH");
    char id[8];
    memset(id, 'z', sizeof id);
    EXPECT_EQ(0, Getimx6ullID(id, 4));
    EXPECT_STREQ("ABC", id);
    EXPECT_EQ('z', id[4]);
}
