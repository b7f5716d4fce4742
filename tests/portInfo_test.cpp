#include "portInfo.h"

#include <gtest/gtest.h>

TEST(LogTestDat, OnlyExactlyThreeCountsAsPass) {
    std::vector<_tag_PortData_> ports(6);
    const uint8_t states[] = {3, 7, 0x0B, 0, 4, 8};
    for (size_t i = 0; i < ports.size(); ++i) ports[i].cSta = states[i];
    std::vector<_tag_TestSta_> sta(6);
    LogTestDat(6, ports, sta);
    LogTestDat(6, ports, sta);
    EXPECT_EQ(2, sta[0].nSuccCnt);
    EXPECT_EQ(0, sta[0].nErrCnt);
    for (size_t i = 1; i < sta.size(); ++i) {
        EXPECT_EQ(0, sta[i].nSuccCnt) << i;
        EXPECT_EQ(2, sta[i].nErrCnt) << i;
    }
    EXPECT_EQ(3, ports[0].cSta);  // entries are left as they were
}

TEST(LogTestDat, CountZeroChangesNothing) {
    std::vector<_tag_PortData_> ports;
    std::vector<_tag_TestSta_> sta;
    LogTestDat(0, ports, sta);
    EXPECT_TRUE(sta.empty());
}

TEST(PortVerdict, PassNeedsOneSuccessAndNoFailure) {
    EXPECT_FALSE(PortPassed({0, 0}));
    EXPECT_TRUE(PortPassed({1, 0}));
    EXPECT_TRUE(PortPassed({5, 0}));
    EXPECT_FALSE(PortPassed({4, 1}));
}

TEST(PortEntries, SetUpAddsTwoSystemOutputsAndClearEmptiesAll) {
    _tag_VxPortInfo_ info;
    info.cntRS485 = 1;
    info.cntRS232 = 5;
    info.cntDO = 4;
    info.cntDI = 6;
    info.cntUSB = 2;
    info.cntAI = 4;
    info.cntLED = 3;
    SetUpPortEntries(info);
    EXPECT_EQ(6u, info.vecDO.size());
    EXPECT_EQ(6u, info.staDO_NO.size());
    EXPECT_EQ(6u, info.staDO_NC.size());
    EXPECT_EQ(6u, info.vecDI.size());
    EXPECT_EQ(6u, info.staDI_NC.size());
    EXPECT_EQ(5u, info.staRS232.size());
    EXPECT_EQ(3u, info.vecLED.size());
    ClearPortEntries(info);
    EXPECT_TRUE(info.vecDO.empty());
    EXPECT_TRUE(info.staDI_NO.empty());
    EXPECT_TRUE(info.staLED.empty());
    EXPECT_EQ(4, info.cntDO);  // counts are not touched
}
