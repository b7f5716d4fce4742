#include "signals.h"

#include <gtest/gtest.h>

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
