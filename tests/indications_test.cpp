#include "indications.h"

#include <gtest/gtest.h>
#include <sys/msg.h>

#include <algorithm>
#include <cstring>

#include "FakeSys.h"
#include "signals.h"

namespace {
int CountOf(const std::vector<std::string>& cmds, const std::string& text) {
    return static_cast<int>(std::count(cmds.begin(), cmds.end(), text));
}
}  // namespace

TEST(EndPattern, PassSwitchesBeeperTwiceAndD3EightTimes) {
    FakeSys sys;
    TestEndTips(0);
    auto cmds = sys.SystemCommands();
    EXPECT_EQ("echo SOFF=4,5 > /dev/vxdio", cmds.front());
    std::vector<std::string> want = {"echo SOFF=4,5 > /dev/vxdio", "echo SOFF=3 > /dev/vxdio",
                                     "echo SON=4 > /dev/vxdio", "echo SON=3 > /dev/vxdio",
                                     "echo SON=4 > /dev/vxdio"};
    EXPECT_EQ(want, std::vector<std::string>(cmds.begin(), cmds.begin() + 5));
    EXPECT_EQ(8, CountOf(cmds, "echo SON=4 > /dev/vxdio"));
    EXPECT_EQ(0, CountOf(cmds, "echo SON=5 > /dev/vxdio"));
    EXPECT_EQ(11u, cmds.size());
    EXPECT_EQ(71ul * 100000, sys.TotalSleepUs());
}

TEST(EndPattern, FailuresSwitchBeeperSixTimesEndingOnAndD2) {
    for (int verdict : {-1, -2}) {
        FakeSys sys;
        TestEndTips(verdict);
        auto cmds = sys.SystemCommands();
        std::vector<std::string> beeper;
        for (const auto& c : cmds) {
            if (c.find("=3 ") != std::string::npos) beeper.push_back(c);
        }
        ASSERT_EQ(6u, beeper.size());
        EXPECT_EQ("echo SOFF=3 > /dev/vxdio", beeper.front());
        EXPECT_EQ("echo SON=3 > /dev/vxdio", beeper.back());
        EXPECT_EQ(8, CountOf(cmds, "echo SON=5 > /dev/vxdio"));
        EXPECT_EQ(0, CountOf(cmds, "echo SON=4 > /dev/vxdio"));
    }
}

TEST(EndPattern, OtherValuesOnlySwitchLedsOff) {
    FakeSys sys;
    TestEndTips(1);
    EXPECT_EQ(std::vector<std::string>{"echo SOFF=4,5 > /dev/vxdio"}, sys.SystemCommands());
    EXPECT_EQ(0ul, sys.TotalSleepUs());
}

TEST(EndPattern, ClearedRunFlagStopsAfterCurrentStep) {
    FakeSys sys;
    g_bRun = 0;
    TestEndTips(0);
    g_bRun = 1;
    EXPECT_EQ(3u, sys.SystemCommands().size());  // LEDs off, beeper off, D3 on
    EXPECT_EQ(100000ul, sys.TotalSleepUs());
}

TEST(BlinkTimer, LedsSwitchTogetherEveryThirdTick) {
    FakeSys sys;
    for (int tick = 0; tick < 7; ++tick) OnTimer(sigval{});
    std::vector<std::string> want = {"echo SON=5,4 > /dev/vxdio", "echo SOFF=5,4 > /dev/vxdio",
                                     "echo SON=5,4 > /dev/vxdio"};
    EXPECT_EQ(want, sys.SystemCommands());
}

TEST(BlinkTimer, EndTimerTwiceIsHarmlessAndStopsTicks) {
    FakeSys sys;
    EXPECT_EQ(0, endTimer());
    EXPECT_EQ(0, endTimer());
    OnTimer(sigval{});
    OnTimer(sigval{});
    OnTimer(sigval{});
    EXPECT_TRUE(sys.SystemCommands().empty());
}

TEST(TrayMessage, NegativeQueueSendsNothing) { EXPECT_EQ(1, SendMsgToTray(-1, 2, 0)); }

TEST(TrayMessage, SeventySixBytesOfTypeAndTwoValues) {
    int id = msgget(IPC_PRIVATE, 0600);
    ASSERT_GE(id, 0);
    EXPECT_EQ(1, SendMsgToTray(id, 2, 0x1234));
    struct {
        long mtype;
        unsigned char payload[128];
    } got{};
    ssize_t n = msgrcv(id, &got, sizeof got.payload, 0, IPC_NOWAIT);
    msgctl(id, IPC_RMID, nullptr);
    ASSERT_EQ(76, n);
    EXPECT_EQ(36876, got.mtype);
    int values[2];
    memcpy(values, got.payload, sizeof values);
    EXPECT_EQ(2, values[0]);
    EXPECT_EQ(0x1234, values[1]);
    for (int i = 8; i < 76; ++i) EXPECT_EQ(0, got.payload[i]);
}
