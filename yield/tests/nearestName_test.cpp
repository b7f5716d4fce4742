// A mistyped name and the valid one it most likely meant.
#include "cli/nearestName.h"

#include <gtest/gtest.h>

namespace yield {
namespace {

const std::vector<std::string> kCommands = {"ingest", "watch",    "report", "board",
                                            "export", "problems", "serve"};

TEST(NearestName, ASlipIsNamedWithTheNearestValidName) {
    EXPECT_EQ(NearestName("reprot", kCommands), "report");
    EXPECT_EQ(NearestName("exprot", kCommands), "export");
    EXPECT_EQ(NearestName("serv", kCommands), "serve");
    EXPECT_EQ(NearestName("Board", kCommands), "board");
    EXPECT_EQ(NearestName("--sinse", {"--since", "--until", "--station"}), "--since");
    EXPECT_EQ(NearestName("--statoin", {"--since", "--until", "--station"}), "--station");
    EXPECT_EQ(NearestName("frobnicate", kCommands), "");
    EXPECT_EQ(NearestName("", kCommands), "");
    EXPECT_EQ(NearestName(std::string(100000, 'r'), kCommands), "");
}

TEST(NearestName, TheMessageNamesWhatWasTyped) {
    EXPECT_EQ(UnknownName("subcommand", "reprot", kCommands),
              "unknown subcommand 'reprot'; did you mean 'report'?");
    EXPECT_EQ(UnknownName("subcommand", "xyzzy", kCommands), "unknown subcommand 'xyzzy'");
    EXPECT_EQ(UnknownName("option", "--x\x1b[2J", {"--db"}), "unknown option '--x\\x1B[2J'");
}

}  // namespace
}  // namespace yield
