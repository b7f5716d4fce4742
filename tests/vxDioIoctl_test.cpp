#include "vxDioIoctl.h"

#include <gtest/gtest.h>

#include "FakeDio.h"
#include "TempLog.h"

namespace {

using Lines = std::vector<std::string>;

class ComDioIoctlTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(dio.init(dev.Path().c_str(), 1), 0); }
    void TearDown() override { dio.uninit(); }
    // The log without the open report.
    Lines Reports() const {
        Lines all = log.Messages();
        return Lines(all.begin() + 1, all.end());
    }

    TempLog log;
    FakeDio dev;
    ComDioIoctl dio;
};

TEST(ComDioIoctlClosed, EveryOperationAnswersMinusOneWithOneReport) {
    TempLog log;
    FakeDio dev;
    ComDioIoctl dio;
    EXPECT_EQ(dio.GetDioNum(DIOTYPE_DI), -1);
    EXPECT_EQ(dio.SetDOOutput(0x01), -1);
    EXPECT_EQ(dio.SetDOOFF(0x01), -1);
    EXPECT_EQ(dio.GetDOSta(0x01), -1);
    EXPECT_EQ(dio.GetDISta(0x01), -1);
    EXPECT_EQ(dio.GetAllDioSta(), -1);
    EXPECT_EQ(dio.GetDIOSta(99, 0x01), -1);
    EXPECT_EQ(log.Messages(), Lines(7, "------Err m_fdDio:-1------"));
    EXPECT_NE(log.Text().find("vxDioTest/vxDioIoctl GetAllDioSta line="), std::string::npos);
    EXPECT_TRUE(dev.Timeline().empty());
    // The base versions stay: no request, no report.
    EXPECT_EQ(dio.GetDioBuffSta(0, 0), 0);
    EXPECT_EQ(dio.WriteDODateByte(0, nullptr, 0), 0);
}

TEST_F(ComDioIoctlTest, EachOperationSendsItsCodeAndTheIndexByValue) {
    dev.SetAnswer(VXDIO_RD_DI, 0x81, 1);
    dev.SetCount(DIOTYPE_SYSDO, 5);
    testing::internal::CaptureStdout();
    EXPECT_EQ(dio.SetDOOutput(0x03), 0);
    EXPECT_EQ(dio.GetDOSta(0x03), 1);
    EXPECT_EQ(dio.SetDOOFF(0x03), 0);
    EXPECT_EQ(dio.GetDOSta(0x03), 0);
    EXPECT_EQ(dio.GetDISta(0x81), 1);
    EXPECT_EQ(dio.GetDISta(0x01), 0);
    EXPECT_EQ(dio.GetDioNum(DIOTYPE_SYSDO), 5);
    EXPECT_EQ(dio.GetDIOSta(17, 0x81), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(dev.Timeline(), Lines({"1:0x03", "11:0x03", "0:0x03", "11:0x03", "10:0x81", "10:0x01",
                                     "12:0x04", "17:0x81"}));
    EXPECT_TRUE(Reports().empty());
}

TEST_F(ComDioIoctlTest, RefusedRequestsAreReportedAndHandedBack) {
    dev.SetAnswer(VXDIO_SET_DO_ON, 0x82, -5);
    dev.SetAnswer(VXDIO_SET_DO_OFF, 0x02, -1);
    dev.SetAnswer(VXDIO_RD_DO, 0x85, -22);
    dev.SetAnswer(VXDIO_RD_DI, 0x04, -3);
    dev.SetAnswer(VXDIO_GET_NUM, 2, -9);
    dev.SetAnswer(13, 0x81, -2);
    testing::internal::CaptureStdout();
    EXPECT_EQ(dio.SetDOOutput(0x82), -5);
    EXPECT_EQ(dio.SetDOOFF(0x02), -1);
    EXPECT_EQ(dio.GetDOSta(0x85), -22);
    EXPECT_EQ(dio.GetDISta(0x04), -3);
    EXPECT_EQ(dio.GetDioNum(DIOTYPE_DO), -9);
    EXPECT_EQ(dio.GetDIOSta(13, 0x81), -2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(Reports(),
              Lines({"------Err iret:-5 DOIndex:0x82------", "------Err iret:-1 DOIndex:0x02------",
                     "------Err VXDIO_RD_DO:11 iret:-22 DOIndex:0x85------",
                     "------Err VXDIO_RD_DI:10 iret:-3 DIIndex:0x04------",
                     "------Err iret:-9 DIOType:2------", "------Err iret:-2 DIOIndex:129------"}));
}

TEST_F(ComDioIoctlTest, CountLinesNameTheKindAndAnUnknownKindIsReported) {
    for (int type = 1; type <= 4; ++type) dev.SetCount(type, 10 + type);
    dev.SetCount(7, 3);
    testing::internal::CaptureStdout();
    for (int type : {1, 2, 3, 4}) EXPECT_EQ(dio.GetDioNum(type), 10 + type);
    EXPECT_EQ(dio.GetDioNum(7), 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "**DI Num=11 DIOType=1\n**DO Num=12 DIOType=2\n**SYSDI Num=13 DIOType=3\n"
              "**SYSDO Num=14 DIOType=4\n**SYSDO Num=3\n");
    EXPECT_EQ(Reports(), Lines{"------Err DIOType:7,nCntNum:3------"});
}

TEST_F(ComDioIoctlTest, GeneralRequestRefusesCodesOutsideTheTable) {
    dev.SetAnswer(VXDIO_RD_DI_GRP, 0x81, 0xA5);
    testing::internal::CaptureStdout();
    EXPECT_EQ(dio.GetDIOSta(19, 0x01), -1);
    EXPECT_EQ(dio.GetDIOSta(-1, 0x81), -1);
    EXPECT_EQ(dio.GetDIOSta(13, 0x81), 0xA5);
    EXPECT_EQ(dio.GetDIOSta(0, 0x07), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "**iret:0x00A5 nCMD:13 DIOIndex:0x81\n**iret:0x0000 nCMD:0 DIOIndex:0x07\n");
    EXPECT_EQ(dev.Timeline(), Lines({"13:0x81", "0:0x07"}));
    EXPECT_EQ(Reports(), Lines({"------Err nCMD:19 DIOIndex:1------",
                                "------Err nCMD:-1 DIOIndex:129------"}));
}

std::string Dump(ComDioIoctl& dio) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(dio.GetAllDioSta(), 0);
    return testing::internal::GetCapturedStdout();
}

// clang-format off
const char kSysGroups[] =
    "**SYSDI1:**iret:0x0000 nCMD:13 DIOIndex:0x81\n"
    "**\xC7\xB0" "2\xD7\xE9SYSDI:**iret:0x0000 nCMD:14 DIOIndex:0x81\n"
    "**\xC7\xB0" "3\xD7\xE9SYSDI:**iret:0x0000 nCMD:15 DIOIndex:0x81\n"
    "**SYSDO1:**iret:0x0000 nCMD:16 DIOIndex:0x81\n"
    "**\xC7\xB0" "2\xD7\xE9SYSDO:**iret:0x0000 nCMD:17 DIOIndex:0x81\n"
    "**\xC7\xB0" "3\xD7\xE9SYSDO:**iret:0x0000 nCMD:18 DIOIndex:0x81\n";
const char kDiFirstGroups[] =
    "**\xC7\xB0" "2\xD7\xE9" "DI:**iret:0x0000 nCMD:14 DIOIndex:0x01\n"
    "**\xC7\xB0" "3\xD7\xE9" "DI:**iret:0x0000 nCMD:15 DIOIndex:0x01\n";
const char kDoFirstGroups[] =
    "**\xC7\xB0" "2\xD7\xE9" "DO:**iret:0x0000 nCMD:17 DIOIndex:0x01\n"
    "**\xC7\xB0" "3\xD7\xE9" "DO:**iret:0x0000 nCMD:18 DIOIndex:0x01\n";
// clang-format on

TEST_F(ComDioIoctlTest, DumpPrintsTwoInputGroupsForTwelveAndOneOutputGroupForEight) {
    dev.SetCount(DIOTYPE_DI, 12);
    dev.SetCount(DIOTYPE_DO, 8);
    dev.SetCount(DIOTYPE_SYSDI, 1);
    dev.SetCount(DIOTYPE_SYSDO, 2);
    EXPECT_EQ(Dump(dio), std::string("**DI Num=12 DIOType=1\n**DO Num=8 DIOType=2\n"
                                     "**SYSDI Num=1 DIOType=3\n**SYSDO Num=2 DIOType=4\n") +
                             kSysGroups +
                             "**DI1:**iret:0x0000 nCMD:13 DIOIndex:0x01\n"
                             "**DI2:**iret:0x0000 nCMD:13 DIOIndex:0x02\n" +
                             kDiFirstGroups + "**DO1:**iret:0x0000 nCMD:16 DIOIndex:0x01\n" +
                             kDoFirstGroups);
    std::vector<unsigned long> inputs = dev.ArgsOf(VXDIO_RD_DI);
    EXPECT_EQ(inputs.size(), 13u);
    EXPECT_EQ(inputs.back(), 0x81u);
    EXPECT_EQ(dev.ArgsOf(VXDIO_RD_DO),
              (std::vector<unsigned long>{1, 2, 3, 4, 5, 6, 7, 8, 0x81, 0x82}));
}

TEST_F(ComDioIoctlTest, DumpWithoutOutputsPrintsNoOutputGroup) {
    dev.SetCount(DIOTYPE_DI, 8);
    std::string out = Dump(dio);
    EXPECT_EQ(out.find("**DO1:"), std::string::npos);
    EXPECT_NE(out.find("**DI1:"), std::string::npos);
    EXPECT_EQ(out.find("**DI2:"), std::string::npos);
    EXPECT_NE(out.find(kDoFirstGroups), std::string::npos);
    EXPECT_TRUE(dev.ArgsOf(VXDIO_RD_DO).empty());
}

}  // namespace
