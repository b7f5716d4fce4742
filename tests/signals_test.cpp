#include "signals.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>

#include "FakeSys.h"
#include "TempLog.h"

TEST(SignalHandler, TermAndIntReportAsSigintAndSwitchOutputs) {
    for (int signum : {SIGTERM, SIGINT}) {
        TempLog log;
        FakeSys sys;
        sig_handler(signum);
        EXPECT_EQ(0, g_bRun);
        ASSERT_TRUE(HandlePendingSignal());
        g_bRun = 1;
        EXPECT_EQ(std::vector<std::string>{"Received signal SIGINT[2]"}, log.Messages());
        std::vector<std::string> want = {"echo SON=3 > /dev/vxdio", "echo SOFF=4,5 > /dev/vxdio"};
        EXPECT_EQ(want, sys.SystemCommands());
        EXPECT_EQ(500000ul, sys.TotalSleepUs());
        EXPECT_FALSE(HandlePendingSignal());
    }
}

TEST(SignalHandler, UnknownSignalIsReported) {
    TempLog log;
    FakeSys sys;
    sig_handler(SIGUSR1);
    EXPECT_EQ(1, g_bRun);
    ASSERT_TRUE(HandlePendingSignal());
    EXPECT_EQ(std::vector<std::string>{"Received signal unknow[10]"}, log.Messages());
    EXPECT_TRUE(sys.SystemCommands().empty());
}

TEST(SignalHandler, NegativeNumbersAreReportedWholeOnStandardError) {
    const std::pair<int, std::string> cases[] = {
        {-1, "-1"}, {-15, "-15"}, {INT_MIN, "-2147483648"}};
    for (const auto& [signum, text] : cases) {
        FakeSys sys;
        testing::internal::CaptureStderr();
        sig_handler(signum);
        EXPECT_EQ("sig_handler param err. [" + text + "]\n",
                  testing::internal::GetCapturedStderr());
        EXPECT_EQ(1, g_bRun);
        EXPECT_FALSE(HandlePendingSignal());
        EXPECT_TRUE(sys.SystemCommands().empty());
    }
}
