#include "dioLoopback.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "FakeDio.h"
#include "FakeSys.h"
#include "TempLog.h"
#include "vxDioIoctl.h"

namespace {

using Lines = std::vector<std::string>;

// Pauses land in the driver's timeline, so their place between the requests shows.
class TimelineSys : public FakeSys {
public:
    explicit TimelineSys(FakeDio& dio) : dio_(dio) {}
    void Usleep(unsigned int usec) override {
        FakeSys::Usleep(usec);
        dio_.Note("sleep:" + std::to_string(usec));
    }

private:
    FakeDio& dio_;
};

std::vector<uint8_t> Sta(const std::vector<_tag_PortData_>& v) {
    std::vector<uint8_t> out;
    for (const auto& e : v) out.push_back(e.cSta);
    return out;
}

class DIOTestTest : public ::testing::Test {
protected:
    // The complete fixture for `nDo` ordinary outputs.
    void WireFixture(int nDo) {
        dev.Wire(1, 1);
        dev.Wire(2, 2);
        dev.Wire(4, 0x81);
        dev.Wire(3, 0x82);
        for (int k = 3; k <= nDo; ++k) dev.Wire(k + 2, k);
    }
    int Run(uint16_t nDo, uint16_t nDi, int level) {
        return DIOTestOn(dev.Path().c_str(), nDo, nDi, level, vDo, vDi);
    }

    TempLog log;
    FakeDio dev;
    TimelineSys sys{dev};
    std::vector<_tag_PortData_> vDo = std::vector<_tag_PortData_>(6);
    std::vector<_tag_PortData_> vDi = std::vector<_tag_PortData_>(8);
};

TEST_F(DIOTestTest, CompleteFixturePassesInTheWiredOrder) {
    WireFixture(4);
    vDi[6].cSta = 9;  // DI7 has no output: reset and never passed
    EXPECT_EQ(Run(4, 8, 1), 0);
    EXPECT_EQ(dev.Timeline(),
              Lines({"1:0x01",       "sleep:100000", "11:0x01",      "10:0x01",      "1:0x02",
                     "sleep:100000", "11:0x02",      "10:0x02",      "1:0x03",       "sleep:100000",
                     "11:0x03",      "10:0x05",      "1:0x04",       "sleep:100000", "11:0x04",
                     "10:0x06",      "1:0x81",       "11:0x81",      "sleep:100000", "10:0x04",
                     "1:0x82",       "11:0x82",      "sleep:100000", "10:0x03"}));
    EXPECT_EQ(Sta(vDo), std::vector<uint8_t>(6, 3));
    EXPECT_EQ(Sta(vDi), (std::vector<uint8_t>{3, 3, 3, 3, 3, 3, 0, 0}));
    Lines msgs = log.Messages();
    EXPECT_EQ(msgs[1], "Write DO1:1 OK!");
    EXPECT_EQ(msgs[2], "Write DO1:1 Read DI1:1 OK!");
    EXPECT_EQ(msgs[9], "Write SDO1:1!");
    EXPECT_EQ(msgs[10], "Write SDO1:1 Read DI4:1 OK!");
    EXPECT_FALSE(dev.LastFdOpen());
}

TEST_F(DIOTestTest, InputStuckAtZeroFailsOnlyWhenOutputsAreOn) {
    WireFixture(4);
    dev.Wire(5, 0x7F);  // DI5 follows nothing: always 0
    dev.Wire(4, 0x7F);  // DI4 likewise
    EXPECT_EQ(Run(4, 8, 0), 0);
    EXPECT_EQ(Sta(vDo), std::vector<uint8_t>(6, 3));
    EXPECT_EQ(Sta(vDi), (std::vector<uint8_t>{3, 3, 3, 3, 3, 3, 0, 0}));
    EXPECT_EQ(dev.ArgsOf(VXDIO_SET_DO_OFF), (std::vector<unsigned long>{1, 2, 3, 4, 0x81, 0x82}));
    EXPECT_EQ(Run(4, 8, 1), 0);
    // DO3 keeps its pass; SDO1 fails with its input.
    EXPECT_EQ(Sta(vDo), (std::vector<uint8_t>{3, 3, 3, 3, 4, 3}));
    EXPECT_EQ(Sta(vDi), (std::vector<uint8_t>{3, 3, 3, 4, 4, 3, 0, 0}));
    Lines msgs = log.Messages();
    EXPECT_NE(std::find(msgs.begin(), msgs.end(), "Write DO3:1 Read DI5:0 Err!"), msgs.end());
    EXPECT_NE(std::find(msgs.begin(), msgs.end(), "Write SDO1:1 Read DI4:0 Err!"), msgs.end());
}

TEST_F(DIOTestTest, RefusedWriteOrWrongReadBackLeavesTheOutputAtZeroAndItsInputUnread) {
    WireFixture(4);
    dev.SetAnswer(VXDIO_SET_DO_ON, 0x02, -1);
    dev.SetAnswer(VXDIO_RD_DO, 0x03, 0);
    dev.SetAnswer(VXDIO_SET_DO_ON, 0x82, -7);
    EXPECT_EQ(Run(4, 8, 1), 0);
    EXPECT_EQ(Sta(vDo), (std::vector<uint8_t>{3, 0, 0, 3, 3, 0}));
    EXPECT_EQ(Sta(vDi), (std::vector<uint8_t>{3, 0, 0, 3, 0, 3, 0, 0}));
    EXPECT_EQ(dev.ArgsOf(VXDIO_RD_DI), (std::vector<unsigned long>{1, 6, 4}));
    Lines msgs = log.Messages();
    EXPECT_NE(std::find(msgs.begin(), msgs.end(), "Write DO2:-1 Err!"), msgs.end());
    EXPECT_NE(std::find(msgs.begin(), msgs.end(), "Write DO3:1 Err!"), msgs.end());
    EXPECT_NE(std::find(msgs.begin(), msgs.end(), "Write SDO2:-7 Err!"), msgs.end());
}

TEST_F(DIOTestTest, AbsentDeviceLeavesTheEntriesOfThePreviousCall) {
    WireFixture(4);
    dev.Wire(6, 0x7F);
    ASSERT_EQ(Run(4, 8, 1), 0);
    std::vector<uint8_t> doBefore = Sta(vDo), diBefore = Sta(vDi);
    TempLog quiet;
    EXPECT_EQ(DIOTestOn("/nonexistent-dir/vxdio", 4, 8, 0, vDo, vDi), -1);
    EXPECT_EQ(Sta(vDo), doBefore);
    EXPECT_EQ(Sta(vDi), diBefore);
    EXPECT_EQ(quiet.Messages(), Lines{"#######Err OpenDio:/nonexistent-dir/vxdio##"});
}

TEST_F(DIOTestTest, NoOrdinaryOutputsTestsOnlyTheSystemOutputs) {
    WireFixture(0);
    for (auto& e : vDi) e.cSta = 3;
    EXPECT_EQ(Run(0, 8, 1), 0);
    EXPECT_EQ(dev.ArgsOf(VXDIO_SET_DO_ON), (std::vector<unsigned long>{0x81, 0x82}));
    EXPECT_EQ(dev.ArgsOf(VXDIO_RD_DI), (std::vector<unsigned long>{4, 3}));
    EXPECT_EQ(Sta(vDi), (std::vector<uint8_t>{0, 0, 3, 3, 0, 0, 0, 0}));
    EXPECT_EQ(vDo[0].cSta, 3);
    EXPECT_EQ(vDo[1].cSta, 3);
}

TEST_F(DIOTestTest, InputsMissingFromTheBoardFailTheirOutputsWithoutBeingRead) {
    WireFixture(4);
    vDi.resize(2);
    EXPECT_EQ(Run(4, 2, 1), 0);
    EXPECT_EQ(dev.ArgsOf(VXDIO_RD_DI), (std::vector<unsigned long>{1, 2}));
    EXPECT_EQ(Sta(vDo), (std::vector<uint8_t>{3, 3, 4, 4, 4, 4}));
    EXPECT_EQ(Sta(vDi), (std::vector<uint8_t>{3, 3}));
    EXPECT_EQ(vDi.size(), 2u);
    Lines msgs = log.Messages();
    EXPECT_NE(std::find(msgs.begin(), msgs.end(), "Write DO3:1 no DI5 to read, Err!"), msgs.end());
    EXPECT_NE(std::find(msgs.begin(), msgs.end(), "Write SDO2:1 no DI3 to read, Err!"), msgs.end());
}

TEST_F(DIOTestTest, ShortVectorsAreNeverWrittenPast) {
    WireFixture(4);
    vDo.resize(3);
    vDi.resize(3);
    EXPECT_EQ(Run(4, 8, 1), 0);                            // counts larger than the vectors
    EXPECT_EQ(Sta(vDo), (std::vector<uint8_t>{3, 3, 4}));  // DO3 has no DI5 here
    EXPECT_EQ(Sta(vDi), (std::vector<uint8_t>{3, 3, 3}));
    EXPECT_EQ(dev.ArgsOf(VXDIO_RD_DI), (std::vector<unsigned long>{1, 2, 3}));
}

TEST_F(DIOTestTest, PortsPastWhatAnIndexByteNamesAreNeverRequestedAndFail) {
    static_assert(DioPortNameable(1) && DioPortNameable(127));
    static_assert(!DioPortNameable(0) && !DioPortNameable(128) && !DioPortNameable(255));
    WireFixture(130);
    vDo.assign(132, _tag_PortData_{});
    vDi.assign(130, _tag_PortData_{});
    EXPECT_EQ(Run(130, 130, 1), 0);
    std::vector<unsigned long> written, read = {1, 2};
    for (unsigned long k = 1; k <= 127; ++k) written.push_back(k);
    for (unsigned long d = 5; d <= 127; ++d) read.push_back(d);
    written.insert(written.end(), {0x81, 0x82});
    read.insert(read.end(), {4, 3});
    EXPECT_EQ(dev.ArgsOf(VXDIO_SET_DO_ON), written);
    EXPECT_EQ(dev.ArgsOf(VXDIO_RD_DO), written);
    EXPECT_EQ(dev.ArgsOf(VXDIO_RD_DI), read);
    std::vector<uint8_t> wantDo(132, 3), wantDi(130, 3);
    for (int k = 126; k <= 130; ++k) wantDo[k - 1] = 4;  // DO126, DO127: DI128, DI129 unread
    for (int d = 128; d <= 130; ++d) wantDi[d - 1] = 4;
    EXPECT_EQ(Sta(vDo), wantDo);
    EXPECT_EQ(Sta(vDi), wantDi);
    Lines msgs = log.Messages();
    for (const char* line : {"DI128 has no port index, Err!", "DI130 has no port index, Err!",
                             "DO128 has no port index, Err!", "DO130 has no port index, Err!",
                             "Write DO126:1 no DI128 to read, Err!"})
        EXPECT_EQ(std::count(msgs.begin(), msgs.end(), line), 1) << line;
}

}  // namespace
