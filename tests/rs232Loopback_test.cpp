#include "rs232Loopback.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FakeSys.h"
#include "PtyPort.h"
#include "SerialFixture.h"
#include "TempLog.h"

namespace {

const std::string kPattern = "ABCDEFGHIJKLMNOPQRST1234567890!";
const std::string kPatternOnLine = std::string(kPattern.c_str(), 32);  // with its zero byte

int OpenDescriptors() {
    int n = 0;
    DIR* dir = opendir("/proc/self/fd");
    while (readdir(dir) != nullptr) ++n;
    closedir(dir);
    return n;
}

std::string Plain(int from, int read, int iread, const std::string& msg) {
    return "Write RS232-" + std::to_string(from) + " msgSend:" + kPattern + ",Read RS232-" +
           std::to_string(read) + " iread:" + std::to_string(iread) + " msg: " + msg;
}

std::string Verdict(const char* word, int from, int read, int iread, const std::string& msg) {
    return "Write RS232-" + std::to_string(from) + " msgSend:" + kPattern + ",Read RS232-" +
           std::to_string(read) + " " + word + " iread:" + std::to_string(iread) + " msg: " + msg;
}

// Ports /…/RS232-1 .. -N on pseudo-terminals, the fake fixture carrying their messages.
class Rs232Test : public ::testing::Test {
protected:
    void AddPorts(int n) {
        for (int i = 1; i <= n; ++i) AddPort(i);
    }
    PtyPort& AddPort(int num) {
        auto port = std::make_unique<PtyPort>(dir_.Path() + "/RS232-" + std::to_string(num));
        ports_[num] = std::move(port);
        fixture_.Listen(*ports_[num]);
        return *ports_[num];
    }
    PtyPort& P(int num) { return *ports_.at(num); }
    void Loop(int a, int b) {
        fixture_.Wire(P(a), {&P(b)});
        fixture_.Wire(P(b), {&P(a)});
    }
    int Run(uint16_t nCnt) {
        vec_.assign(nCnt, _tag_PortData_{});
        for (auto& entry : vec_) entry.cSta = 0x0F;  // left over from an earlier cycle
        const int before = OpenDescriptors();
        fixture_.Start();
        const int result = RS232TestAt((dir_.Path() + "/RS232-%d").c_str(), nCnt, vec_);
        fixture_.Stop();
        EXPECT_EQ(OpenDescriptors(), before);
        for (const auto& entry : vec_) EXPECT_EQ(entry.fdPort, 0);
        return result;
    }
    std::vector<int> Status() const {
        std::vector<int> out;
        for (const auto& entry : vec_) out.push_back(entry.cSta);
        return out;
    }
    std::vector<std::string> ExchangeLines() const {
        std::vector<std::string> out;
        for (const auto& m : log_.Messages()) {
            if (m.rfind("Write RS232-", 0) == 0 || m.rfind("Err Write", 0) == 0) out.push_back(m);
        }
        return out;
    }
    std::vector<unsigned> Waits() const {
        std::vector<unsigned> out;
        for (const auto& c : sys_.Calls()) out.push_back(c.usec);
        return out;
    }

    TempDir dir_;
    TempLog log_;
    FakeSys sys_;
    SerialFixture fixture_;
    std::map<int, std::unique_ptr<PtyPort>> ports_;
    std::vector<_tag_PortData_> vec_;
};

TEST_F(Rs232Test, FiveCorrectlyWiredPortsAllPass) {
    AddPorts(5);
    Loop(1, 2);
    Loop(3, 4);
    fixture_.Answer(P(5), "OK\r\n");
    EXPECT_EQ(Run(5), 0);
    EXPECT_EQ(Status(), (std::vector<int>{3, 3, 3, 3, 3}));
    const std::vector<std::string> expected = {
        Plain(1, 1, 0, ""), Verdict("OK!", 1, 2, 32, kPattern),
        Plain(2, 2, 0, ""), Verdict("OK!", 2, 1, 32, kPattern),
        Plain(3, 3, 0, ""), Verdict("OK!", 3, 4, 32, kPattern),
        Plain(4, 4, 0, ""), Verdict("OK!", 4, 3, 32, kPattern)};
    EXPECT_EQ(ExchangeLines(), expected);
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(fixture_.Sent(P(i)), kPatternOnLine) << i;
    EXPECT_EQ(fixture_.Sent(P(5)), "AT");
    const auto messages = log_.Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), "Port:" + P(5).Path() + " Test OK !!! "),
              messages.end());
    EXPECT_EQ(Waits(), (std::vector<unsigned>{300000, 300000, 300000, 300000, 500000}));
}

TEST_F(Rs232Test, SilentSensorGivesTheResult) {
    AddPorts(5);
    Loop(1, 2);
    Loop(3, 4);
    EXPECT_EQ(Run(5), -1);
    EXPECT_EQ(Status(), (std::vector<int>{3, 3, 3, 3, STA_RECV_ERR}));
}

TEST_F(Rs232Test, CutPairFailsBothEnds) {
    AddPorts(2);
    EXPECT_EQ(Run(2), 0);
    EXPECT_EQ(Status(), (std::vector<int>{0x05, 0x05}));
    const std::vector<std::string> expected = {Plain(1, 1, 0, ""), Verdict("Error!", 1, 2, 0, ""),
                                               Plain(2, 2, 0, ""), Verdict("Error!", 2, 1, 0, "")};
    EXPECT_EQ(ExchangeLines(), expected);
}

TEST_F(Rs232Test, PortsHearingThemselvesFailOnlyTheSecond) {
    AddPorts(2);
    fixture_.Wire(P(1), {&P(1), &P(2)});
    fixture_.Wire(P(2), {&P(1), &P(2)});
    Run(2);
    EXPECT_EQ(Status(), (std::vector<int>{0x03, 0x06}));
    const std::vector<std::string> expected = {
        Verdict("Error!", 1, 1, 32, kPattern), Verdict("OK!", 1, 2, 32, kPattern),
        Verdict("Error!", 2, 2, 32, kPattern), Verdict("OK!", 2, 1, 32, kPattern)};
    EXPECT_EQ(ExchangeLines(), expected);
}

TEST_F(Rs232Test, TextAfterTheReceivedZeroByteDoesNotMatter) {
    AddPorts(2);
    fixture_.Wire(P(1), {&P(2)}, "junk");
    fixture_.Wire(P(2), {&P(1)});
    Run(2);
    EXPECT_EQ(Status(), (std::vector<int>{3, 3}));
    EXPECT_EQ(ExchangeLines()[1], Verdict("OK!", 1, 2, 36, kPattern));
}

TEST_F(Rs232Test, MissingFirstPortLeavesItsPairUntested) {
    AddPort(2);
    AddPort(3);
    AddPort(4);
    AddPort(5);
    Loop(3, 4);
    fixture_.Answer(P(5), "OK\r\n");
    EXPECT_EQ(Run(5), 0);
    EXPECT_EQ(Status(), (std::vector<int>{0, 0, 3, 3, 3}));
    EXPECT_EQ(fixture_.Sent(P(2)), "");
    const auto messages = log_.Messages();
    EXPECT_NE(
        std::find(messages.begin(), messages.end(), "open Port:" + dir_.Path() + "/RS232-1 Err!!!"),
        messages.end());
}

TEST_F(Rs232Test, MissingSecondPortLeavesTheFirstHalfDone) {
    AddPort(1);
    EXPECT_EQ(Run(2), -1);  // the last port did not open
    EXPECT_EQ(Status(), (std::vector<int>{STA_SEND_OK, 0}));
    EXPECT_EQ(ExchangeLines(), std::vector<std::string>{Plain(1, 1, 0, "")});
}

TEST_F(Rs232Test, EightPortsNeverExchangeOnTheEighth) {
    AddPorts(8);
    Loop(1, 2);
    Loop(3, 4);
    Loop(6, 7);
    fixture_.Answer(P(5), "OK");
    EXPECT_EQ(Run(8), 0);
    EXPECT_EQ(Status(), (std::vector<int>{3, 3, 3, 3, 3, 3, 3, 0}));
    EXPECT_EQ(fixture_.Sent(P(8)), "");
    termios opt{};
    ASSERT_EQ(tcgetattr(P(8).Slave(), &opt), 0);
    EXPECT_EQ(opt.c_lflag & ICANON, 0u);  // it was opened and configured all the same
}

TEST_F(Rs232Test, OnePortGetsOnlyTheSensorTest) {
    AddPort(1);
    fixture_.Answer(P(1), "OK\r\n");
    EXPECT_EQ(Run(1), 0);
    EXPECT_EQ(Status(), std::vector<int>{3});
    EXPECT_EQ(fixture_.Sent(P(1)), "AT");
    EXPECT_TRUE(ExchangeLines().empty());
}

TEST_F(Rs232Test, OneMissingPortStaysUntested) {
    EXPECT_EQ(Run(1), -1);
    EXPECT_EQ(Status(), std::vector<int>{0});
    EXPECT_EQ(log_.Messages(),
              std::vector<std::string>{"open Port:" + dir_.Path() + "/RS232-1 Err!!!"});
}

TEST_F(Rs232Test, PartnerlessPortIsSkippedAndFails) {
    AddPorts(3);
    Loop(1, 2);
    Run(3);
    ASSERT_EQ(vec_.size(), 3u);
    EXPECT_EQ(Status(), (std::vector<int>{3, 3, 0}));
    EXPECT_EQ(fixture_.Sent(P(3)), "");
    const auto messages = log_.Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), "RS232-3 has no partner, not tested!!!"),
              messages.end());
}

TEST_F(Rs232Test, ShortWriteOfTheFirstPortEndsThePair) {
    AddPorts(2);
    Loop(1, 2);
    sys_.ShortWrite(31);
    EXPECT_EQ(Run(2), 0);
    EXPECT_EQ(Status(), (std::vector<int>{STA_SEND_ERR, 0}));
    EXPECT_EQ(ExchangeLines(),
              std::vector<std::string>{"Write RS232-1 msgSend:" + kPattern + ",Err! iwrite=31"});
    EXPECT_EQ(sys_.Writes().size(), 1u);
    EXPECT_EQ(fixture_.Sent(P(1)), "");
    EXPECT_EQ(Waits(), std::vector<unsigned>{});
}

TEST_F(Rs232Test, FailedWriteOfTheSecondPortKeepsWhatItReceived) {
    AddPorts(2);
    Loop(1, 2);
    sys_.ShortWrite(-1, EIO, 1);
    EXPECT_EQ(Run(2), 0);
    EXPECT_EQ(Status(), (std::vector<int>{STA_SEND_OK, STA_RECV_OK | STA_SEND_ERR}));
    const std::vector<std::string> expected = {
        Plain(1, 1, 0, ""), Verdict("OK!", 1, 2, 32, kPattern),
        "Err Write RS232-2 msgSend:" + kPattern + " iwrite=-1"};
    EXPECT_EQ(ExchangeLines(), expected);
    ASSERT_EQ(sys_.Writes().size(), 2u);
    EXPECT_EQ(sys_.Writes()[1].bytes, kPatternOnLine);
    EXPECT_EQ(fixture_.Sent(P(2)), "");
}

TEST(Rs232NoPorts, NothingToDo) {
    std::vector<_tag_PortData_> vec;
    EXPECT_EQ(RS232Test(0, vec), 0);
    EXPECT_TRUE(vec.empty());
}

TEST(Rs232Pattern, ThirtyTwoBytesWithTheZeroByte) {
    EXPECT_EQ(sizeof msgsend, 32u);
    EXPECT_EQ(std::string(msgsend), kPattern);
    EXPECT_EQ(msgsend[31], '\0');
}

}  // namespace
