// Start-up of a run on the bench: the log layout, the header, discovery and its counts, the
// stopped application, the CPU LED trigger, the failure on a missing vxdio.conf.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "bench_run.h"
#include "suite_run.h"

namespace {

struct Board {
    std::string scenario;
    std::vector<std::string> args;
    std::map<std::string, std::string> values;  // CNT, RS485, ... for the expectation files
};

Board BoardFor(const std::string& scenario) {
    for (const std::string& line : e2e::ReadExpectations("boards.txt")) {
        std::istringstream words(line);
        Board board;
        std::string args;
        words >> board.scenario >> args;
        if (board.scenario != scenario) continue;
        if (args != "-") board.args = {args};
        for (const char* key : {"CNT", "RS485", "RS232", "DO", "DI", "AI", "TESTMODE"})
            words >> board.values[key];
        return board;
    }
    ADD_FAILURE() << "no line for " << scenario << " in boards.txt";
    return {};
}

std::string ArgumentText(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& arg : args) text += " " + arg;
    return text;
}

std::string RegexEscape(const std::string& text) {
    static const std::regex kSpecial(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, kSpecial, R"(\$&)");
}

// Checks the header lines in order as one consecutive run of messages.
void ExpectHeader(const e2e::BenchRun& run, const Board& board) {
    auto patterns = e2e::ReadExpectations("startup_header.txt",
                                          {{"ARGS", RegexEscape(ArgumentText(board.args))},
                                           {"HOST", "bench1"},
                                           {"TESTMODE", board.values.at("TESTMODE")},
                                           {"FUSE", "0x1A2B3C4D"}});
    auto messages = run.Messages();
    ASSERT_EQ(patterns.size(), 9u);
    bool found = false;
    for (size_t start = 0; !found && start + patterns.size() <= messages.size(); ++start) {
        found = true;
        for (size_t i = 0; found && i < patterns.size(); ++i)
            found = std::regex_match(messages[start + i], std::regex(patterns[i]));
    }
    EXPECT_TRUE(found) << "header not found in the log:\n" << run.record.value("log", "");
}

void ExpectCounts(const e2e::BenchRun& run, const Board& board) {
    auto expected = e2e::ReadExpectations("startup_counts.txt", board.values);
    EXPECT_GE(e2e::FindSequence(run.Messages(), expected), 0)
        << "count lines not found in order in the log:\n"
        << run.record.value("log", "");
}

e2e::RunPlan StartupSpec(const std::string& scenario) {
    const Board board = BoardFor(scenario);
    return {board.scenario, board.args, {}};
}

E2E_SUITE_WITH(StandardStartup, StartupSpec("standard"));

TEST_F(StandardStartup, EveryLogLineHasTheTraceLayoutAndConsecutiveNumbers) {
    std::string error;
    auto lines = run->Log(&error);
    EXPECT_EQ(error, "");
    ASSERT_FALSE(lines.empty());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].number, static_cast<long>(i));
        EXPECT_EQ(lines[i].tag, "RtLog");
        EXPECT_GT(lines[i].sourceLine, 0);
        EXPECT_FALSE(lines[i].module.empty());
    }
}

TEST_F(StandardStartup, ProcessorIdCommandSpansTwoTextLines) {
    auto lines = run->Log();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].message, "cat /sys/fsl_otp/HW_OCOTP_CFG1 | tr -d '\n'...");
    EXPECT_EQ(lines[0].module, "global");
    EXPECT_EQ(lines[0].function, "Getimx6ullID");
}

TEST_F(StandardStartup, HeaderLinesInOrder) { ExpectHeader(*run, BoardFor("standard")); }

TEST_F(StandardStartup, CountLinesInOrderWithTheFixedCounts) {
    ExpectCounts(*run, BoardFor("standard"));
}

TEST_F(StandardStartup, DuRurIdIsKilled) {
    EXPECT_EQ(run->record["duRurID"].value("started", false), true);
    EXPECT_EQ(run->record["duRurID"].value("killed", false), true);
    EXPECT_EQ(run->record["duRurID"].value("signal_name", ""), "SIGTERM");
}

TEST_F(StandardStartup, CpuLedTriggerIsNone) {
    EXPECT_EQ(run->record["cpu_led_trigger"], "none\n");
}

TEST_F(StandardStartup, CompletedRunExitsWithZero) {
    EXPECT_EQ(run->ToolExitCode(), 0);
    EXPECT_EQ(run->record["hostname"], "bench1");
}

E2E_SUITE_WITH(DiscoveredBoard, StartupSpec("discovery-rs485x3-rs232x6-ai5"));

TEST_F(DiscoveredBoard, CountsComeFromNodesConfAndIio) {
    EXPECT_EQ(run->record["serial_nodes"].size(), 9u);
    ExpectCounts(*run, BoardFor("discovery-rs485x3-rs232x6-ai5"));
}

TEST_F(DiscoveredBoard, HeaderShowsTheArgumentAndTestMode) {
    ExpectHeader(*run, BoardFor("discovery-rs485x3-rs232x6-ai5"));
}

E2E_SUITE_WITH(TestModeFromIni, StartupSpec("testmode-1"));

TEST_F(TestModeFromIni, IniTestModeKeepsTheDiscoveredCounts) {
    ExpectHeader(*run, BoardFor("testmode-1"));
    ExpectCounts(*run, BoardFor("testmode-1"));
}

E2E_SUITE(MissingDioConf, "missing-vxdio-conf", "Cnt=1");

TEST_F(MissingDioConf, StartUpFailsWithExit255) {
    EXPECT_EQ(run->ToolExitCode(), 255);
    EXPECT_TRUE(run->HasMessage("popen ls /dev | grep -c RS232 error!"));
    EXPECT_TRUE(run->HasMessage("Err Get Port Info!!!"));
    EXPECT_FALSE(run->HasMessage("***Load Port Info:***"));
}

}  // namespace
