#include "discovery.h"

#include <gtest/gtest.h>

#include <string>

#include "FakeSys.h"
#include "TempLog.h"
#include "hwPaths.h"

namespace {
struct Counts {
    uint16_t di;
    uint16_t dout;
};

Counts CountConf(const std::string& text, Counts start = {0, 0}) {
    FILE* f = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    if (text.empty()) f = fopen("/dev/null", "r");
    Counts c = start;
    CountDioConf(f, c.di, c.dout);
    fclose(f);
    return c;
}
}  // namespace

TEST(DioConf, OnePlusCommasAfterTheKey) {
    Counts c = CountConf("vx_di=1,2,3,4,5,6\nvx_do=1,2,3,4\n");
    EXPECT_EQ(6, c.di);
    EXPECT_EQ(4, c.dout);
    EXPECT_EQ(8, CountConf("vx_di=1,2,3,4,5,6,7,8\n").di);
}

TEST(DioConf, ShortKeyLineKeepsTheCounter) {
    EXPECT_EQ(4, CountConf("vx_do=1,2,3,4\nvx_do\n").dout);   // 6 characters with the line end
    EXPECT_EQ(4, CountConf("vx_do=1,2,3,4\nvx_do=\n").dout);  // 7
    EXPECT_EQ(0, CountConf("vx_do\n", {0, 9}).dout);    // the counter starts at 0 in each call
    EXPECT_EQ(1, CountConf("vx_do=1\n", {0, 9}).dout);  // 8
}

TEST(DioConf, LineWithBothKeysCountsOnlyForDi) {
    Counts c = CountConf("vx_di=1,2 vx_do=1,2,3\n", {0, 5});
    EXPECT_EQ(4, c.di);  // every comma after vx_di, those after vx_do too
    EXPECT_EQ(5, c.dout);
}

TEST(DioConf, CommasBeforeTheKeyDoNotCount) { EXPECT_EQ(2, CountConf("a,b,c,vx_di=1,2\n").di); }

TEST(DioConf, LastLineWinsAndCountersStopAt255) {
    EXPECT_EQ(2, CountConf("vx_di=1,2,3\nvx_di=1,2\n").di);
    EXPECT_EQ(255, CountConf("vx_do=" + std::string(254, ',') + "\n").dout);
    EXPECT_EQ(255, CountConf("vx_do=" + std::string(255, ',') + "\n").dout);
    EXPECT_EQ(255, CountConf("vx_di=" + std::string(299, ',') + "\n").di);
    EXPECT_EQ(7, CountConf("other line\n# nothing\n", {7, 7}).di);
}

TEST(DioConf, KeyLinesWithoutLineEndAndLongLines) {
    EXPECT_EQ(3, CountConf("vx_do=1,2,3").dout);
    std::string longLine = "vx_di=" + std::string(2000, '1') + ",2\n";
    // fgets splits the line: the tail piece holds no key and changes nothing.
    EXPECT_EQ(1, CountConf(longLine).di);
}

TEST(Discovery, NullInventoryFails) {
    TempLog log;
    EXPECT_EQ(-1, initPortInfo(nullptr));
    ASSERT_EQ(1u, log.Messages().size());
    EXPECT_EQ("pPortInfo==NULL error!", log.Messages()[0]);
}

TEST(Discovery, PopenFailureStopsWithCommandText) {
    TempLog log;
    FakeSys sys;
    sys.SetOutput(hw::kCmdCountRs485, "3\n");
    sys.FailPopen(hw::kCmdCountRs232);
    _tag_VxPortInfo_ info;
    EXPECT_EQ(-1, initPortInfo(&info));
    EXPECT_EQ(3, info.cntRS485);
    EXPECT_EQ(std::vector<std::string>{std::string("popen ") + hw::kCmdCountRs232 + " error!"},
              log.Messages());
}

TEST(Discovery, MissingConfLogsTheRs232Command) {
    TempLog log;
    FakeSys sys;
    sys.SetOutput(hw::kCmdCountRs485, "0\n");
    sys.SetOutput(hw::kCmdCountRs232, "1\n6\n");  // the last line wins
    _tag_VxPortInfo_ info;
    EXPECT_EQ(-1, initPortInfo(&info));
    EXPECT_EQ(0, info.cntRS485);
    EXPECT_EQ(6, info.cntRS232);
    EXPECT_EQ(std::vector<std::string>{std::string("popen ") + hw::kCmdCountRs232 + " error!"},
              log.Messages());
    ASSERT_EQ(3u, sys.Calls().size());
    EXPECT_EQ(FakeSys::Call::kFopen, sys.Calls()[2].kind);
    EXPECT_EQ(hw::kDioConf, sys.Calls()[2].text);
}

TEST(Discovery, ReadsTheDioConfThroughTheSeam) {
    TempLog log;
    FakeSys sys;
    sys.SetOutput(hw::kCmdCountRs485, "2\n");
    sys.SetOutput(hw::kCmdCountRs232, "5\n");
    sys.SetFile(hw::kDioConf, "vx_di=1,2,3,4,5,6\nvx_do=1,2,3,4\n");
    sys.SetOutput(hw::kCmdCountAi, "4\n");
    _tag_VxPortInfo_ info;
    EXPECT_EQ(0, initPortInfo(&info));
    EXPECT_EQ(6, info.cntDI);
    EXPECT_EQ(4, info.cntDO);
    EXPECT_EQ(4, info.cntAI);
    EXPECT_TRUE(log.Messages().empty());
    std::vector<std::string> opened;
    for (const FakeSys::Call& call : sys.Calls()) opened.push_back(call.text);
    EXPECT_EQ((std::vector<std::string>{hw::kCmdCountRs485, hw::kCmdCountRs232, hw::kDioConf,
                                        hw::kCmdCountAi}),
              opened);
}
