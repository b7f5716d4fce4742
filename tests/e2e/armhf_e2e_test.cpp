// The board's own build on the bench: the armhf binary runs the standard scenario under
// qemu-user. Runs when DEVUZE_ARMHF_BUILD names an armhf build folder (scripts/armhf.sh sets it).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "bench_run.h"
#include "run_checks.h"

namespace {
std::string ArmhfBuild() {
    const char* dir = std::getenv("DEVUZE_ARMHF_BUILD");
    return dir == nullptr ? "" : dir;
}

// ELF header: 32-bit (class 1) and machine 40 (ARM).
bool IsArmElf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char head[20] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    return in && head[1] == 'E' && head[4] == 1 && head[18] == 40 && head[19] == 0;
}
}  // namespace

TEST(ArmhfStandard, PassesUnderEmulation) {
    const std::string build = ArmhfBuild();
    if (build.empty()) GTEST_SKIP() << "DEVUZE_ARMHF_BUILD is not set";
    const std::string tool = build + "/hwtest/devuzeV7";
    const std::string preload = build + "/bench/preload/libvxdio_preload.so";
    ASSERT_TRUE(IsArmElf(tool)) << tool;
    ASSERT_TRUE(IsArmElf(preload)) << preload;
    e2e::BenchRun run =
        e2e::RunScenario("standard", {"Cnt=1"}, "ArmhfStandard",
                         {"--tool", tool, "--emulator", "/usr/bin/qemu-arm", "--sysroot",
                          "/usr/arm-linux-gnueabihf", "--preload", preload});
    ASSERT_TRUE(run.Ok()) << run.Diagnostics();
    EXPECT_EQ("/usr/bin/qemu-arm", run.record["command"][0]);
    EXPECT_EQ(0, run.ToolExitCode());
    EXPECT_EQ(1, e2e::CountMessages(run, "Test Q7 OK!!!"));
    EXPECT_FALSE(run.Ioctls().empty()) << "DIO requests reached the model";
    auto sent = run.Serial("/dev/RS232-5", "rx");
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ("AT+OK", sent.back()["text"]);
    EXPECT_EQ("", run.record.value("stderr", ""));
}
