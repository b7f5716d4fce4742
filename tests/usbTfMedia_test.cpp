#include "usbTfMedia.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "FakeSys.h"
#include "TempLog.h"
#include "hwPaths.h"

namespace {
struct UsbFixture : ::testing::Test {
    TempLog log;
    FakeSys sys;
    std::vector<_tag_PortData_> ports = std::vector<_tag_PortData_>(2);
    void SetUp() override { g_USBDEV.clear(); }
    void TearDown() override { g_USBDEV.clear(); }
    void Sticks(const std::string& first, const std::string& second, const std::string& tf) {
        sys.SetOutput(hw::kCmdUsbFirst, first);
        sys.SetOutput(hw::kCmdUsbSecond, second);
        sys.SetOutput(hw::kCmdTfCount, tf);
    }
    int Switchings() const { return static_cast<int>(sys.SystemCommands().size()); }
};
}  // namespace

TEST(UsbCommands, SixtyThreeCharactersWithRealLineFeed) {
    EXPECT_EQ(63u, std::string(hw::kCmdUsbFirst).size());
    EXPECT_EQ(63u, std::string(hw::kCmdUsbSecond).size());
    EXPECT_NE(std::string::npos, std::string(hw::kCmdUsbFirst).find("tr -d '\n'"));
}

TEST_F(UsbFixture, BothSticksNoCardNoAlert) {
    Sticks("/run/media/sda1", "/run/media/sdb1", "0\n");
    EXPECT_EQ(0, USBTFTest(2, ports));
    EXPECT_EQ(3, ports[0].cSta);
    EXPECT_EQ(3, ports[1].cSta);
    EXPECT_EQ((std::vector<std::string>{"/run/media/sda1", "/run/media/sdb1"}), g_USBDEV);
    EXPECT_EQ(0, Switchings());
    auto msgs = log.Messages();
    std::vector<std::string> want = {"USB Dev:/run/media/sda1", "USB Dev:/run/media/sdb1",
                                     "USB Dev Cnt:2", std::string(hw::kCmdTfCount) + "...",
                                     "TF card not mount"};
    EXPECT_EQ(want, msgs);
}

TEST_F(UsbFixture, OnlyFirstStickSoundsEightSwitchingsEndingOn) {
    Sticks("/run/media/sda1", "", "0\n");
    USBTFTest(2, ports);
    EXPECT_EQ(3, ports[0].cSta);
    EXPECT_EQ(0, ports[1].cSta);
    auto cmds = sys.SystemCommands();
    ASSERT_EQ(8u, cmds.size());
    EXPECT_EQ("echo SOFF=3 > /dev/vxdio", cmds.front());
    EXPECT_EQ("echo SON=3 > /dev/vxdio", cmds.back());
    EXPECT_EQ(8ul * 600000, sys.TotalSleepUs());
}

TEST_F(UsbFixture, OnlySecondStickPassesNeitherButIsListed) {
    Sticks("", "/run/media/sdb1", "0\n");
    USBTFTest(2, ports);
    EXPECT_EQ(0, ports[0].cSta);
    EXPECT_EQ(0, ports[1].cSta);
    EXPECT_EQ(std::vector<std::string>{"/run/media/sdb1"}, g_USBDEV);
    EXPECT_EQ(8, Switchings());
}

TEST_F(UsbFixture, CardPresentSoundsTwentySwitchings) {
    Sticks("/run/media/sda1", "/run/media/sdb1", "1\n");
    USBTFTest(2, ports);
    EXPECT_EQ(3, ports[1].cSta);
    EXPECT_EQ(20, Switchings());
    EXPECT_EQ("TF card mount nCnttmp:1", log.Messages().back());
}

TEST_F(UsbFixture, TwoPartitionsCountAsOneJoinedStick) {
    Sticks("/run/media/sda1/run/media/sda2", "/run/media/sdb1", "0\n");
    USBTFTest(2, ports);
    EXPECT_EQ(3, ports[0].cSta);
    EXPECT_EQ(3, ports[1].cSta);
    EXPECT_EQ("/run/media/sda1/run/media/sda2", g_USBDEV[0]);
}

TEST_F(UsbFixture, ListGrowsEveryCycle) {
    Sticks("/run/media/sda1", "/run/media/sdb1", "0\n");
    for (int i = 0; i < 3; ++i) USBTFTest(2, ports);
    EXPECT_EQ(6u, g_USBDEV.size());
}

TEST_F(UsbFixture, CommandFailureStopsWithoutAlert) {
    Sticks("/run/media/sda1", "/run/media/sdb1", "0\n");
    sys.FailPopen(hw::kCmdUsbSecond);
    ports[1].cSta = 3;
    EXPECT_EQ(-1, USBTFTest(2, ports));
    EXPECT_EQ(3, ports[0].cSta);
    EXPECT_EQ(0, ports[1].cSta);
    EXPECT_EQ(0, Switchings());
    EXPECT_NE(std::string::npos,
              log.Text().find(std::string("popen ") + hw::kCmdUsbSecond + " error!"));
}

TEST(UsbMountPoint, OnlyAbsolutePathsUnderRunMediaAreSticks) {
    for (const char* point :
         {"/run/media/sda1", "/run/media/sda1/run/media/sda2", "/run/media/a..b"})
        EXPECT_TRUE(IsStickMountPoint(point)) << point;
    for (const char* point :
         {"0%", "run/media/sda1", "/run/media/", "/run/media", "/mnt/sda1", "/run/mediax/sda1",
          "/run/media/../../NandFlash", "/run/media/sda1/.."})
        EXPECT_FALSE(IsStickMountPoint(point)) << point;
}

TEST_F(UsbFixture, ColumnThatIsNoMountPointIsNeitherCountedNorListed) {
    Sticks("0%", "/run/media/sdb1", "0\n");  // a blank in the first stick's mount point
    USBTFTest(2, ports);
    EXPECT_EQ(0, ports[0].cSta);
    EXPECT_EQ(0, ports[1].cSta);
    EXPECT_EQ(std::vector<std::string>{"/run/media/sdb1"}, g_USBDEV);
    auto msgs = log.Messages();
    EXPECT_EQ("USB Dev:0% is no mount point, Err!", msgs.at(0));
    EXPECT_EQ("USB Dev Cnt:1", msgs.at(2));
    EXPECT_EQ(8, Switchings());
}
