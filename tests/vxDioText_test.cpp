#include "vxDioText.h"

#include <gtest/gtest.h>

#include "FakeSys.h"

TEST(DioText, OneOutputPairAndNamedOutputs) {
    FakeSys sys;
    DioTextSwitch(7, true);
    DioTextSwitch(7, false);
    DioTextSwitchPair(5, 4, true);
    DioTextSwitchPair(5, 4, false);
    DioBeeper(true);
    DioBeeper(false);
    DioLedsOff();
    std::vector<std::string> want = {"echo SON=7 > /dev/vxdio",   "echo SOFF=7 > /dev/vxdio",
                                     "echo SON=5,4 > /dev/vxdio", "echo SOFF=5,4 > /dev/vxdio",
                                     "echo SON=3 > /dev/vxdio",   "echo SOFF=3 > /dev/vxdio",
                                     "echo SOFF=4,5 > /dev/vxdio"};
    EXPECT_EQ(want, sys.SystemCommands());
    EXPECT_TRUE(sys.PopenCommands().empty());
}
