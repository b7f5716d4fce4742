#include "vxDio.h"

#include <gtest/gtest.h>

#include "FakeDio.h"
#include "TempLog.h"

namespace {

TEST(ComDioInit, MissingPathFailsSilentlyAndStillKeepsTheMode) {
    TempLog log;
    ComDio dio;
    EXPECT_EQ(dio.init("/nonexistent-dir/vxdio", 7), -1);
    EXPECT_EQ(dio.Fd(), -1);
    EXPECT_EQ(dio.Mode(), 7);
    EXPECT_EQ(dio.init(nullptr, 3), -1);
    EXPECT_EQ(dio.Mode(), 3);
    EXPECT_TRUE(log.Messages().empty());
}

TEST(ComDioInit, OpensReportsAndUninitClosesOnce) {
    TempLog log;
    FakeDio dev;
    ComDio dio;
    ASSERT_EQ(dio.init(dev.Path().c_str(), 1), 0);
    int fd = dio.Fd();
    EXPECT_GE(fd, 0);
    EXPECT_EQ(
        log.Messages(),
        std::vector<std::string>{"---------------succ open DIO:" + dev.Path() + "---------------"});
    dio.uninit();
    EXPECT_EQ(dio.Fd(), -1);
    dio.uninit();  // harmless
    EXPECT_EQ(dio.Fd(), -1);
}

TEST(ComDioBase, EveryOperationAnswersZeroWithoutTouchingTheDevice) {
    TempLog log;
    FakeDio dev;
    uint8_t buf[4] = {1, 2, 3, 4};
    for (bool open : {false, true}) {
        ComDio dio;
        if (open) {
            ASSERT_EQ(dio.init(dev.Path().c_str(), 1), 0);
        }
        EXPECT_EQ(dio.GetDioNum(DIOTYPE_DI), 0);
        EXPECT_EQ(dio.SetDOOutput(0x01), 0);
        EXPECT_EQ(dio.SetDOOFF(0x01), 0);
        EXPECT_EQ(dio.GetDOSta(0x01), 0);
        EXPECT_EQ(dio.GetDISta(0x01), 0);
        EXPECT_EQ(dio.GetDioBuffSta(1, 2), 0);
        EXPECT_EQ(dio.GetAllDioSta(), 0);
        EXPECT_EQ(dio.GetDIOSta(13, 0x81), 0);
        EXPECT_EQ(dio.WriteDODateByte(0xFF, buf, 4), 0);
        dio.uninit();
    }
    EXPECT_TRUE(dev.Timeline().empty());
    EXPECT_EQ(log.Messages().size(), 1u);  // only the open report
}

}  // namespace
