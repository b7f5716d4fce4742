#include "indications.h"

#include <gtest/gtest.h>
#include <sys/msg.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "FakeSys.h"
#include "TempLog.h"
#include "hwPaths.h"
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

namespace {
constexpr int kTouchedAfterTeardown = 99;
constexpr int kFailureRoadStatus = 255;

// Installed once the recorder is gone: any use of the seam after that ends the process with
// its own status.
struct Tripwire : SysOps {
    int System(const char*) override { _exit(kTouchedAfterTeardown); }
    FILE* Popen(const char*, const char*) override { _exit(kTouchedAfterTeardown); }
    int Pclose(FILE*) override { _exit(kTouchedAfterTeardown); }
    void Usleep(unsigned int) override { _exit(kTouchedAfterTeardown); }
    void Sleep(unsigned int) override { _exit(kTouchedAfterTeardown); }
};

// The seam of a child that plays the end of the start-up failure road: records commands on the
// heap, shortens the pattern's pauses, and tears down slowly (longer than a blink period).
struct SlowRecorder : SysOps {
    SlowRecorder() { SetSys(this); }
    ~SlowRecorder() override {
        static Tripwire* tripwire = new Tripwire;
        SetSys(tripwire);
        usleep(400000);
    }
    // Ticks (the timer's thread) and the end pattern (the main thread) record side by side.
    int System(const char* command) override {
        std::lock_guard<std::mutex> hold(lock);
        commands.emplace_back(command);
        return 0;
    }
    void Usleep(unsigned int usec) override { usleep(usec / 20); }
    std::mutex lock;
    std::vector<std::string> commands;
};

[[noreturn]] void PlayFailureRoadAndExit(int nthChild) {
    static SlowRecorder recorder;
    startTimer();
    usleep(static_cast<unsigned>(nthChild % 7) * 45000);
    TestEndTips(-2);
    std::exit(kFailureRoadStatus);  // like main returning -1: static destruction runs
}
}  // namespace

// The start-up failure road leaves main with the blink timer running; ticks during the exit
// must not reach what static destruction tears down (under the sanitizer build, nor any memory).
TEST(BlinkTimer, TicksLeaveTornDownObjectsAloneWhenTheFailureRoadExits) {
    constexpr int kChildren = 24;
    std::vector<pid_t> children;
    fflush(nullptr);  // nothing buffered here is written again by the children
    for (int i = 0; i < kChildren; ++i) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) PlayFailureRoadAndExit(i);
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
        EXPECT_EQ(kFailureRoadStatus, WEXITSTATUS(status));
    }
}

TEST(TrayMessage, QueueThatCouldNotBeOpenedGetsNothing) {
    FakeSys sys;
    sys.FailMsgget(ENOSPC);
    EXPECT_EQ(1, SendMsgToTray(Sys().Msgget(hw::kTrayQueueKey, hw::kTrayQueueFlags), 2, 0));
    EXPECT_TRUE(sys.TrayMessages().empty());
}

TEST(TrayMessage, SeventySixBytesOfTypeAndTwoValuesWithoutWaiting) {
    FakeSys sys;
    EXPECT_EQ(1, SendMsgToTray(FakeSys::kQueueId, 2, 0x1234));
    ASSERT_EQ(1u, sys.TrayMessages().size());
    const auto& sent = sys.TrayMessages()[0];
    EXPECT_EQ(FakeSys::kQueueId, sent.queueId);
    EXPECT_EQ(IPC_NOWAIT, sent.flags);
    EXPECT_EQ(36876, sent.mtype);
    ASSERT_EQ(76u, sent.payload.size());
    int values[2];
    memcpy(values, sent.payload.data(), sizeof values);
    EXPECT_EQ(2, values[0]);
    EXPECT_EQ(0x1234, values[1]);
    EXPECT_EQ(std::string(68, '\0'), sent.payload.substr(8));
}

TEST(TrayMessage, RefusedMessageIsDroppedAndTheNextStartsClean) {
    FakeSys sys;
    sys.FailMsgsnd(EAGAIN);
    EXPECT_EQ(1, SendMsgToTray(FakeSys::kQueueId, 2, 7));
    EXPECT_EQ(1, SendMsgToTray(FakeSys::kQueueId, 3, 0));
    ASSERT_EQ(2u, sys.TrayMessages().size());
    int values[2];
    memcpy(values, sys.TrayMessages()[1].payload.data(), sizeof values);
    EXPECT_EQ(3, values[0]);
    EXPECT_EQ(0, values[1]);
}
