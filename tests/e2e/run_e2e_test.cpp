// Whole runs on the bench: the cycles and their tallies, the analogue inputs, the result
// document and the verdict.
#include <gtest/gtest.h>

#include <regex>

#include "bench_run.h"
#include "run_checks.h"
#include "suite_run.h"

namespace {
E2E_SUITE(StandardRun, "standard", "Cnt=2");
E2E_SUITE(FiveCycles, "standard", "Cnt=5");
E2E_SUITE(AdcBoundaries, "adc-boundaries");
E2E_SUITE(AdcSevenInputs, "adc-seven-inputs");
E2E_SUITE(BigDioBoard, "dio-120", "Cnt=1");
E2E_SUITE(AdcBeyond32Bits, "adc-beyond-32-bits", "Cnt=1");
E2E_SUITE(BusyboxBoard, "standard-busybox", "Cnt=1");

// Every "<family>-<n>...:Test Succ Cnt s,Error Cnt e" line of the summary.
struct Tally {
    std::string port;
    int succ;
    int err;
};
std::vector<Tally> Tallies(const e2e::BenchRun& run) {
    static const std::regex kLine(R"((.*)Test Succ Cnt (\d+),Error Cnt (\d+))");
    std::vector<Tally> out;
    std::smatch m;
    for (const std::string& message : run.Messages()) {
        if (std::regex_match(message, m, kLine)) {
            out.push_back({m[1], std::stoi(m[2]), std::stoi(m[3])});
        }
    }
    return out;
}

std::vector<int> SectionPorts(const nlohmann::json& doc, const std::string& name) {
    std::vector<int> out;
    for (const auto& section : doc["logDate"]) {
        if (section["name"] != name) continue;
        for (const auto& port : section["info"]) out.push_back(port["port"]);
    }
    return out;
}

nlohmann::json ParsedDocument(const e2e::BenchRun& run) {
    return nlohmann::json::parse(run.record["result_document"].get<std::string>(), nullptr, false);
}
}  // namespace

TEST_F(StandardRun, PassesWithTheExpectedDocument) {
    EXPECT_EQ(0, run->ToolExitCode());
    EXPECT_EQ(1, e2e::CountMessages(*run, "iTestSta:0"));
    EXPECT_EQ(1, e2e::CountMessages(*run, "Test Q7 OK!!!"));
    auto want =
        e2e::ReadExpectations("standard_document.txt",
                              {{"HOST", "bench1"}, {"DATETIME", e2e::LogValue(*run, "DateTime:")}});
    ASSERT_EQ(1u, want.size());
    EXPECT_EQ(want[0], run->record["result_document"]);
}

TEST_F(StandardRun, TwoCyclesWithLabelsInOrder) {
    std::vector<std::string> labels;
    for (const std::string& m : run->Messages()) {
        if (m.find("Try Test ") != std::string::npos) labels.push_back(m);
    }
    EXPECT_EQ(e2e::ReadExpectations("standard_cycle_labels.txt"), labels);
}

TEST_F(StandardRun, SummaryLinesInFamilyOrderWithLedNumbering) {
    std::vector<std::string> lines;
    for (const std::string& m : run->Messages()) {
        if (m.find("Test Succ Cnt ") != std::string::npos) lines.push_back(m);
    }
    EXPECT_EQ(e2e::ReadExpectations("standard_summary.txt", {{"CNT", "2"}}), lines);
}

TEST_F(StandardRun, NoBeeperAlertWithBothSticks) {
    auto before = e2e::WithoutBlink(e2e::CommandsBeforeFirstIoctl(*run));
    EXPECT_TRUE(before.empty()) << before.size() << " commands before the first DIO request";
    EXPECT_EQ(2, e2e::CountMessages(*run, "USB Dev Cnt:2"));
}

TEST_F(FiveCycles, EveryTallyAddsUpToFive) {
    EXPECT_EQ(1, e2e::CountMessages(*run, "-----Try Test 5-----"));
    EXPECT_EQ(0, e2e::CountMessages(*run, "-----Try Test 6-----"));
    auto tallies = Tallies(*run);
    ASSERT_EQ(38u, tallies.size());
    for (const auto& t : tallies) EXPECT_EQ(5, t.succ + t.err) << t.port;
    EXPECT_EQ(0, run->ToolExitCode());
}

TEST_F(AdcBoundaries, WindowEdgesAndZero) {
    for (const char* line :
         {"AI1: nDatRead=1855 nValTmp=149 Err!", "AI2: nDatRead=1856 nValTmp=150 OK!",
          "AI3: nDatRead=2115 nValTmp=170 OK!", "AI4: nDatRead=2116 nValTmp=171 Err!",
          "Err nDatRead:0"}) {
        EXPECT_EQ(1, e2e::CountMessages(*run, line)) << line;
    }
    auto doc = ParsedDocument(*run);
    ASSERT_FALSE(doc.is_discarded());
    EXPECT_EQ((std::vector<int>{0, 1, 1, 0, 0}), SectionPorts(doc, "ADC"));
    EXPECT_EQ(1, e2e::CountMessages(*run, "Test Q7 Err!!!"));
    EXPECT_EQ(0, run->ToolExitCode());
}

TEST_F(AdcSevenInputs, ChannelsSixAndSevenAreSkipped) {
    std::vector<std::string> reads;
    for (const std::string& m : run->Messages()) {
        if (m.rfind("cat /sys/bus/iio/devices/iio:device0/in_voltage", 0) == 0) reads.push_back(m);
    }
    EXPECT_EQ(e2e::ReadExpectations("adc_seven_inputs_reads.txt"), reads);
    EXPECT_EQ(1, e2e::CountMessages(*run, "AI8: nDatRead=2048 nValTmp=165 OK!"));
    auto doc = ParsedDocument(*run);
    EXPECT_EQ(std::vector<int>(7, 1), SectionPorts(doc, "ADC"));
}

// 4294969344 is 2^32 + 2048: cut to 32 bits it would read as a good 1.65 V.
TEST_F(AdcBeyond32Bits, ValuePastIntFailsItsInput) {
    ASSERT_TRUE(run->Ok()) << run->Diagnostics();
    EXPECT_EQ(1, e2e::CountMessages(*run, "Err nDatRead:4294969344"));
    EXPECT_EQ(0, e2e::CountMessages(*run, "AI1: nDatRead=2048 nValTmp=165 OK!"));
    EXPECT_EQ(1, e2e::CountMessages(*run, "AI2: nDatRead=2048 nValTmp=165 OK!"));
    auto doc = ParsedDocument(*run);
    ASSERT_FALSE(doc.is_discarded());
    EXPECT_EQ((std::vector<int>{0, 1, 1, 1}), SectionPorts(doc, "ADC"));
    EXPECT_EQ(1, e2e::CountMessages(*run, "Test Q7 Err!!!"));
}

TEST_F(BigDioBoard, DocumentIsCompleteAndValid) {
    EXPECT_EQ("@:DO Cnt:120", "@:DO Cnt:" + e2e::LogValue(*run, "@:DO Cnt:"));
    auto doc = ParsedDocument(*run);
    ASSERT_FALSE(doc.is_discarded()) << run->record["result_document"];
    EXPECT_EQ(120u, SectionPorts(doc, "DO").size());
    EXPECT_EQ(120u, SectionPorts(doc, "DI").size());
    EXPECT_EQ(3u, SectionPorts(doc, "LED").size());
    std::string text = run->record["result_document"];
    EXPECT_GT(text.size(), 1024u);
    EXPECT_EQ("]} ]}", text.substr(text.size() - 5));
}

// The board's own userland: every command text works with busybox's applets too.
TEST_F(BusyboxBoard, StandardBoardPassesWithBusyboxTools) {
    EXPECT_EQ(0, run->ToolExitCode());
    EXPECT_TRUE(run->record["duRurID"]["killed"].get<bool>());
    EXPECT_EQ("none\n", run->record["cpu_led_trigger"]);
    EXPECT_EQ(1, e2e::CountMessages(*run, "USB Dev:/run/media/sda1"));
    EXPECT_EQ("0x1A2B3C4D", e2e::LogValue(*run, "iMx6ull:"));
    auto want =
        e2e::ReadExpectations("standard_document.txt",
                              {{"HOST", "bench1"}, {"DATETIME", e2e::LogValue(*run, "DateTime:")}});
    ASSERT_EQ(1u, want.size());
    EXPECT_EQ(want[0], run->record["result_document"]);
}
