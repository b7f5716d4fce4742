#include "ledBeeper.h"

#include <gtest/gtest.h>

#include "FakeDio.h"
#include "FakeSys.h"
#include "TempLog.h"
#include "vxDioIoctl.h"

namespace {

using Lines = std::vector<std::string>;

// Pauses and shell commands land in the driver's timeline, together with whether the device
// was still open at the long pause.
class TimelineSys : public FakeSys {
public:
    explicit TimelineSys(FakeDio& dio) : dio_(dio) {}
    void Usleep(unsigned int usec) override {
        FakeSys::Usleep(usec);
        dio_.Note("sleep:" + std::to_string(usec) + (dio_.LastFdOpen() ? "" : " closed"));
    }
    int System(const char* command) override {
        dio_.Note(std::string("system:") + command);
        return FakeSys::System(command);
    }

private:
    FakeDio& dio_;
};

class LEDTestTest : public ::testing::Test {
protected:
    int Run(uint16_t nLed) { return LEDTestOn(dev.Path().c_str(), nLed, vLed); }
    bool Logged(const std::string& text) const {
        Lines msgs = log.Messages();
        return std::find(msgs.begin(), msgs.end(), text) != msgs.end();
    }

    TempLog log;
    FakeDio dev;
    TimelineSys sys{dev};
    std::vector<_tag_PortData_> vLed = std::vector<_tag_PortData_>(3);
};

TEST_F(LEDTestTest, SwitchesEachOutputOffThenOnAndTurnsTheLedsOffAfterClosing) {
    vLed[1].cSta = 4;
    EXPECT_EQ(Run(3), 0);
    Lines expected;
    for (const char* idx : {"0x83", "0x84", "0x85"}) {
        for (const char* code : {"0:", "1:"}) {
            expected.insert(expected.end(),
                            {std::string(code) + idx, "sleep:100000", std::string("11:") + idx});
        }
    }
    expected.insert(expected.end(), {"sleep:300000 closed", "system:echo SOFF=4,5 > /dev/vxdio"});
    EXPECT_EQ(dev.Timeline(), expected);
    for (const auto& e : vLed) EXPECT_EQ(e.cSta, 3);
    EXPECT_TRUE(Logged("Write SDO3:0 OK!"));
    EXPECT_TRUE(Logged("Write SDO5:1 OK!"));
}

TEST_F(LEDTestTest, ReadBackAlwaysOnStillPassesAndRefusedWritesGiveZero) {
    dev.SetAnswer(VXDIO_RD_DO, 0x84, 1);
    dev.SetAnswer(VXDIO_SET_DO_OFF, 0x85, -1);
    dev.SetAnswer(VXDIO_SET_DO_ON, 0x85, -2);
    EXPECT_EQ(Run(3), 0);
    EXPECT_EQ(vLed[0].cSta, 3);
    EXPECT_EQ(vLed[1].cSta, 3);
    EXPECT_EQ(vLed[2].cSta, 0);
    EXPECT_TRUE(Logged("Write SDO4:0 Err!"));
    EXPECT_TRUE(Logged("Write SDO4:1 OK!"));
    EXPECT_TRUE(Logged("Write SDO5:-1 Err!"));
    EXPECT_TRUE(Logged("Write SDO5:-2 Err!"));
    EXPECT_EQ(dev.ArgsOf(VXDIO_RD_DO), (std::vector<unsigned long>{0x83, 0x83, 0x84, 0x84}));
}

TEST_F(LEDTestTest, ShortListIsNotWrittenPastAndZeroCountResetsNothing) {
    vLed.resize(2);
    vLed[0].cSta = 4;
    EXPECT_EQ(Run(0), 0);
    ASSERT_EQ(vLed.size(), 2u);
    EXPECT_EQ(vLed[0].cSta, 7);  // not reset, success bits added
    EXPECT_EQ(vLed[1].cSta, 3);
    EXPECT_EQ(dev.ArgsOf(VXDIO_SET_DO_ON).size(), 3u);
}

TEST_F(LEDTestTest, AbsentDeviceSwitchesNothingAndSendsNoCommand) {
    for (auto& e : vLed) e.cSta = 3;
    EXPECT_EQ(LEDTestOn("/nonexistent-dir/vxdio", 3, vLed), -1);
    EXPECT_TRUE(dev.Timeline().empty());
    EXPECT_TRUE(sys.Calls().empty());
    for (const auto& e : vLed) EXPECT_EQ(e.cSta, 3);
    EXPECT_EQ(log.Messages(), Lines{"#######Err OpenDio:/nonexistent-dir/vxdio##"});
}

}  // namespace
