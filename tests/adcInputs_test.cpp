#include "adcInputs.h"

#include <gtest/gtest.h>

#include "FakeSys.h"
#include "TempLog.h"

namespace {
std::string AdcCmd(int channel) {
    return "cat /sys/bus/iio/devices/iio:device0/in_voltage" + std::to_string(channel) + "_raw";
}
}  // namespace

TEST(AdcConversion, WindowBoundaries) {
    EXPECT_EQ(165, AdcHundredthsOfVolt(2048));
    EXPECT_EQ(149, AdcHundredthsOfVolt(1855));
    EXPECT_EQ(150, AdcHundredthsOfVolt(1856));
    EXPECT_EQ(170, AdcHundredthsOfVolt(2115));
    EXPECT_EQ(171, AdcHundredthsOfVolt(2116));
    EXPECT_EQ(330, AdcHundredthsOfVolt(4095));
}

TEST(AdcRawValue, ReadsAsAtoiButRefusesWhatIntCannotHold) {
    int v = -5;
    EXPECT_TRUE(ReadRawValue(" +2048\n", v));
    EXPECT_EQ(2048, v);
    EXPECT_TRUE(ReadRawValue("garbage\n", v));
    EXPECT_EQ(0, v);
    EXPECT_TRUE(ReadRawValue("2147483647x", v));
    EXPECT_EQ(2147483647, v);
    EXPECT_TRUE(ReadRawValue("-2147483648", v));
    EXPECT_EQ(-2147483647 - 1, v);
    for (const char* wild : {"4294969344\n", "2147483648", "-2147483649", "99999999999999999999"}) {
        v = 7;
        EXPECT_FALSE(ReadRawValue(wild, v)) << wild;
        EXPECT_EQ(7, v) << wild;
    }
}

TEST(AdcTest, ValueBeyondIntFailsWithItsLineInsteadOfWrapping) {
    TempLog log;
    FakeSys sys;
    sys.SetOutput(AdcCmd(1), "4294969344\n");
    std::vector<_tag_PortData_> ports(1);
    ports[0].cSta = 3;
    EXPECT_EQ(0, ADCTest(1, ports));
    EXPECT_EQ(0, ports[0].cSta);
    EXPECT_EQ((std::vector<std::string>{AdcCmd(1) + "...", "Err nDatRead:4294969344"}),
              log.Messages());
}

TEST(AdcChannels, SixthInputOnSkipsTwoChannels) {
    const int want[] = {1, 2, 3, 4, 5, 8, 9};
    for (int j = 1; j <= 7; ++j) EXPECT_EQ(want[j - 1], AdcChannelOf(j));
}

TEST(AdcTest, JudgesEachInputAndLogsByChannel) {
    TempLog log;
    FakeSys sys;
    const int raw[] = {1856, 1855, 2115, 2116, 0, 2048, 2048};
    for (int j = 1; j <= 7; ++j) {
        sys.SetOutput(AdcCmd(AdcChannelOf(j)), std::to_string(raw[j - 1]) + "\n");
    }
    std::vector<_tag_PortData_> ports(7);
    for (auto& p : ports) p.cSta = 9;
    EXPECT_EQ(0, ADCTest(7, ports));
    const uint8_t want[] = {3, 0, 3, 0, 0, 3, 3};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(want[i], ports[i].cSta) << i;
    auto msgs = log.Messages();
    EXPECT_EQ(AdcCmd(1) + "...", msgs[0]);
    EXPECT_EQ("AI1: nDatRead=1856 nValTmp=150 OK!", msgs[1]);
    EXPECT_EQ("AI2: nDatRead=1855 nValTmp=149 Err!", msgs[3]);
    EXPECT_EQ("Err nDatRead:0", msgs[9]);
    EXPECT_EQ("AI8: nDatRead=2048 nValTmp=165 OK!", msgs[11]);
    EXPECT_EQ(AdcCmd(9) + "...", msgs[12]);
}

TEST(AdcTest, SilentChannelFailsAndPopenFailureStops) {
    TempLog log;
    FakeSys sys;
    sys.SetOutput(AdcCmd(1), "garbage\n");
    sys.FailPopen(AdcCmd(3));
    std::vector<_tag_PortData_> ports(4);
    EXPECT_EQ(-1, ADCTest(4, ports));
    EXPECT_EQ(0, ports[0].cSta);
    EXPECT_EQ(0, ports[1].cSta);
    std::vector<std::string> want = {AdcCmd(1) + "...", "Err nDatRead:0", AdcCmd(2) + "...",
                                     AdcCmd(3) + "...", "popen " + AdcCmd(3) + " error!"};
    EXPECT_EQ(want, log.Messages());
    EXPECT_EQ(3u, sys.PopenCommands().size());
}

TEST(AdcTest, SecondLineOverwritesFirstVerdict) {
    TempLog log;
    FakeSys sys;
    sys.SetOutput(AdcCmd(1), "2048\n100\n");
    std::vector<_tag_PortData_> ports(1);
    ADCTest(1, ports);
    EXPECT_EQ(0, ports[0].cSta);
}

TEST(AdcTest, NoInputsReadsNothing) {
    FakeSys sys;
    std::vector<_tag_PortData_> ports;
    EXPECT_EQ(0, ADCTest(0, ports));
    EXPECT_TRUE(sys.PopenCommands().empty());
}
