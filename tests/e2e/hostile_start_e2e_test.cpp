// Odd starts and a nearly full flash on the bench: the standard board started with a standard
// descriptor closed or with standard output a pipe nobody reads passes exactly like the
// standard run and sends the fixture nothing else; a result file cut short by a full flash
// plays the storage-failure pattern before the verdict's own.
#include <gtest/gtest.h>

#include "bench_run.h"
#include "suite_run.h"
#include "run_checks.h"

namespace {
constexpr char kTipsPort[] = "/dev/RS232-5";
constexpr char kTipsText[] = "/dev/RS232-5 iwrite:5 write:AT+OK /dev/RS232-5 read:OK\r\n";

E2E_SUITE(StdinClosedStart, "start-stdin-closed", "Cnt=1");
E2E_SUITE(StdoutClosedStart, "start-stdout-closed", "Cnt=1");
E2E_SUITE(StderrClosedStart, "start-stderr-closed", "Cnt=1");
E2E_SUITE(StdoutClosedPipeStart, "start-stdout-closed-pipe", "Cnt=1");
E2E_SUITE(NandNearlyFull, "nand-nearly-full", "Cnt=1");

std::string Received(const e2e::BenchRun& run, const std::string& port) {
    std::string text;
    for (const auto& message : run.Serial(port, "rx")) text += message["text"].get<std::string>();
    return text;
}

// A pass like the standard run's: the verdict, the document, every line of the log one the tool
// wrote, the loop-back message on each pair, and on the AT device the probe and "AT+OK" only.
void ExpectStandardPass(const e2e::BenchRun& run) {
    ASSERT_TRUE(run.Ok()) << run.Diagnostics();
    EXPECT_EQ(0, run.ToolExitCode());
    EXPECT_EQ(1, e2e::CountMessages(run, "Test Q7 OK!!!"));
    auto want =
        e2e::ReadExpectations("standard_document.txt",
                              {{"HOST", "bench1"}, {"DATETIME", e2e::LogValue(run, "DateTime:")}});
    ASSERT_EQ(1u, want.size());
    EXPECT_EQ(want[0], run.record["result_document"]);
    std::string error;
    run.Log(&error);
    EXPECT_EQ("", error);
    const std::string message = "ABCDEFGHIJKLMNOPQRST1234567890!\\x00";  // the record escapes
    for (const char* port : {"/dev/RS232-1", "/dev/RS232-2", "/dev/RS232-3", "/dev/RS232-4"})
        EXPECT_EQ(message, Received(run, port)) << port;
    EXPECT_EQ("ATAT+OK", Received(run, kTipsPort));
    EXPECT_EQ(e2e::ReadExpectations("end_pattern_pass.txt"), e2e::CommandsAfterLastIoctl(run));
}
}  // namespace

TEST_F(StdinClosedStart, PassesLikeTheStandardRun) {
    ExpectStandardPass(*run);
    const std::string out = run->record["stdout"];
    EXPECT_EQ(kTipsText, out.substr(out.size() - std::min(out.size(), sizeof kTipsText - 1)));
}

TEST_F(StdoutClosedStart, PassesLikeTheStandardRunWithNothingOnTheConsole) {
    ExpectStandardPass(*run);
    EXPECT_EQ("", run->record["stdout"]);
}

TEST_F(StderrClosedStart, PassesLikeTheStandardRun) {
    ExpectStandardPass(*run);
    const std::string out = run->record["stdout"];
    EXPECT_EQ(kTipsText, out.substr(out.size() - std::min(out.size(), sizeof kTipsText - 1)));
}

// Exit code 0, not SIGPIPE, after the console text went nowhere.
TEST_F(StdoutClosedPipeStart, PassesLikeTheStandardRunAndOutlivesTheGoneReader) {
    ExpectStandardPass(*run);
}

TEST_F(NandNearlyFull, CutResultFilePlaysTheStorageFailureBeforeThePass) {
    ASSERT_TRUE(run->Ok()) << run->Diagnostics();
    EXPECT_EQ(0, run->ToolExitCode());
    ASSERT_TRUE(run->record["result_document"].is_string());
    const std::string document = run->record["result_document"];
    EXPECT_EQ(std::string::npos, document.find("]}")) << "the result file was written whole";
    auto after = e2e::CommandsAfterLastIoctl(*run);
    auto fail = e2e::ReadExpectations("end_pattern_fail.txt");
    auto pass = e2e::ReadExpectations("end_pattern_pass.txt");
    std::vector<std::string> want = {pass.front()};  // the LED test's closing command
    want.insert(want.end(), fail.begin(), fail.end());
    want.insert(want.end(), pass.begin() + 1, pass.end());
    EXPECT_EQ(want, after);
    // The verdict is the board's: the fixture still hears a pass.
    EXPECT_EQ("ATAT+OK", Received(*run, kTipsPort));
    const std::string out = run->record["stdout"];
    EXPECT_EQ(kTipsText, out.substr(out.size() - std::min(out.size(), sizeof kTipsText - 1)));
}
