#include "tool_launch.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace bench {
namespace {

bool HasEnv(const ToolLaunch& launch, const std::string& entry) {
    return std::find(launch.env.begin(), launch.env.end(), entry) != launch.env.end();
}

TEST(ToolLaunchShape, DirectRunPreloadsTheDioLibrary) {
    LaunchSettings settings{
        "/tmp/root", "/home/root", {"Cnt=2", "FPC=1"}, Userland::kHost, "", false, false, ""};
    ToolLaunch launch = BuildToolLaunch(settings);
    EXPECT_EQ(launch.executable, "./devuzeV7");
    EXPECT_EQ(launch.argv, (std::vector<std::string>{"./devuzeV7", "Cnt=2", "FPC=1"}));
    EXPECT_TRUE(HasEnv(launch, "LD_PRELOAD=/.bench/libvxdio_preload.so"));
    EXPECT_TRUE(HasEnv(launch, "VXDIO_BENCH_SOCKET=/.bench/dio.sock"));
    EXPECT_TRUE(HasEnv(launch, "HOME=/home/root"));
    for (const std::string& entry : launch.env) EXPECT_NE(entry.rfind("GCOV_", 0), 0u);
}

TEST(ToolLaunchShape, MeasuredToolWritesItsCountsIntoTheBenchCorner) {
    LaunchSettings settings{"/r", "/home/root", {}, Userland::kHost, "", false, true, "4"};
    ToolLaunch launch = BuildToolLaunch(settings);
    EXPECT_TRUE(HasEnv(launch, "GCOV_PREFIX=/.bench/gcov"));
    EXPECT_TRUE(HasEnv(launch, "GCOV_PREFIX_STRIP=4"));
}

TEST(ToolLaunchShape, BusyboxUserlandHasOnlyBinOnThePath) {
    LaunchSettings settings{"/r", "/home/root", {}, Userland::kBusybox, "", false, false, ""};
    EXPECT_TRUE(HasEnv(BuildToolLaunch(settings), "PATH=/bin"));
}

TEST(ToolLaunchShape, EmulatorGetsThePreloadForTheGuestOnly) {
    LaunchSettings settings{"/r", "/home/root", {"Cnt=1"}, Userland::kHost, "/usr/bin/qemu-arm",
                            true, false,        ""};
    ToolLaunch launch = BuildToolLaunch(settings);
    EXPECT_EQ(launch.executable, "/usr/bin/qemu-arm");
    EXPECT_EQ(launch.argv, (std::vector<std::string>{"/usr/bin/qemu-arm", "-L", "/sysroot", "-E",
                                                     "LD_PRELOAD=/.bench/libvxdio_preload.so",
                                                     "./devuzeV7", "Cnt=1"}));
    for (const std::string& entry : launch.env) EXPECT_NE(entry.rfind("LD_PRELOAD=", 0), 0u);
}

}  // namespace
}  // namespace bench
