#include "options.h"

#include <gtest/gtest.h>

namespace bench {
namespace {

bool Parse(std::vector<const char*> args, Options& options, std::string& error) {
    args.insert(args.begin(), "devuzeV7-bench");
    return ParseOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(CommandLine, ToolArgumentsFollowTheDoubleDash) {
    Options options;
    std::string error;
    ASSERT_TRUE(Parse({"--scenario", "usb-full", "--quiet", "--out", "o", "--", "Cnt=2", "--quiet"},
                      options, error))
        << error;
    EXPECT_EQ(options.scenario, "usb-full");
    EXPECT_TRUE(options.quiet);
    EXPECT_EQ(options.outDir, "o");
    EXPECT_EQ(options.toolArgs, (std::vector<std::string>{"Cnt=2", "--quiet"}));
}

TEST(CommandLine, DefaultsAndSelfTest) {
    Options options;
    std::string error;
    ASSERT_TRUE(Parse({"--self-test", "--timeout", "30"}, options, error)) << error;
    EXPECT_EQ(options.scenario, "standard");
    EXPECT_TRUE(options.selfTest);
    EXPECT_EQ(options.timeoutSec, 30);
    EXPECT_TRUE(options.toolArgs.empty());
}

TEST(CommandLine, HostNameAndProcessorIdReplaceTheScenarios) {
    Options options;
    std::string error;
    ASSERT_TRUE(Parse({"--hostname", "line-7;$(x)", "--cpu-id=0xDEAD\nBEEF", "--", "Cnt=1"},
                      options, error))
        << error;
    Scenario scenario;
    scenario.fuseId.reset();  // a board without the fuse file gets one
    ApplyRunOverrides(options, scenario);
    EXPECT_EQ(scenario.board.hostname, "line-7;$(x)");
    EXPECT_EQ(scenario.fuseId.value_or("absent"), "0xDEAD\nBEEF\n");
    EXPECT_EQ(options.toolArgs, std::vector<std::string>{"Cnt=1"});

    Options none;
    ASSERT_TRUE(Parse({"--quiet"}, none, error)) << error;
    Scenario untouched;
    untouched.fuseId = "0x1\n";
    ApplyRunOverrides(none, untouched);
    EXPECT_EQ(untouched.board.hostname, "bench1");
    EXPECT_EQ(untouched.fuseId.value_or("absent"), "0x1\n");
}

TEST(CommandLine, MistakesAreRefused) {
    const std::string longName(kMaxHostnameBytes + 1, 'h');
    const std::vector<std::vector<const char*>> bad = {{"--scenario"},
                                                       {"--bogus"},
                                                       {"--timeout", "0"},
                                                       {"--timeout", "x"},
                                                       {"--sysroot", "/s"},
                                                       {"--preload", "p.so"},
                                                       {"stray"},
                                                       {"--quiet", "stray"},
                                                       {"--hostname", longName.c_str()},
                                                       {"--timeout", "99999999999"}};
    for (const auto& args : bad) {
        Options options;
        std::string error;
        EXPECT_FALSE(Parse(args, options, error)) << args.back();
        EXPECT_FALSE(error.empty());
    }
}

TEST(CommandLine, EmulatorHookIsAccepted) {
    Options options;
    std::string error;
    ASSERT_TRUE(Parse({"--emulator", "/usr/bin/qemu-arm", "--sysroot", "/s", "--preload", "p.so"},
                      options, error))
        << error;
    EXPECT_EQ(options.emulator, "/usr/bin/qemu-arm");
    EXPECT_EQ(options.sysroot, "/s");
}

TEST(CommandLine, DoubleDashAsAValueStaysAValue) {
    Options options;
    std::string error;
    ASSERT_TRUE(Parse({"--out", "--", "--quiet"}, options, error)) << error;
    EXPECT_EQ(options.outDir, "--");
    EXPECT_TRUE(options.quiet);
    EXPECT_TRUE(options.toolArgs.empty());
}

}  // namespace
}  // namespace bench
