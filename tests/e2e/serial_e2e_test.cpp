// The serial loop-back test, the sensor probe and the tips message on the bench: the exchange
// lines in the log, the RS232 ports of the result document, what the fixture's ends heard and
// what the tips message printed, for a correct fixture and for each serial fault.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "bench_run.h"
#include "suite_run.h"

namespace {

const std::map<std::string, std::string> kValues = {
    {"P", "ABCDEFGHIJKLMNOPQRST1234567890!"}, {"CRLF", "\r\n"}, {"END", ""}};

struct SerialRun {
    std::vector<std::string> args;
    std::string ports;  // RS232 entries of the result document, one digit each
    std::string tips;   // the end of standard output
    std::vector<std::string> log;
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

SerialRun ExpectationsFor(const std::string& scenario) {
    SerialRun expected;
    for (const std::string& line : e2e::ReadExpectations("serial_runs.txt", kValues)) {
        auto fields = Split(line, '|');
        if (fields.size() != 4 || fields[0] != scenario) continue;
        expected.args = Split(fields[1], ' ');
        expected.ports = fields[2];
        expected.tips = fields[3];
    }
    const std::string key = scenario + "|";
    for (const std::string& line : e2e::ReadExpectations("serial_log.txt", kValues)) {
        if (line.rfind(key, 0) == 0) expected.log.push_back(line.substr(key.size()));
    }
    return expected;
}

e2e::RunPlan SerialSpec(const std::string& scenario) {
    return {scenario, ExpectationsFor(scenario).args, {}};
}

std::string DocumentPorts(const e2e::BenchRun& run, const std::string& family) {
    auto document =
        nlohmann::json::parse(run.record.value("result_document", "{}"), nullptr, false);
    std::string ports;
    if (!document.is_object() || !document.contains("logDate")) return "invalid document";
    for (const auto& section : document["logDate"]) {
        if (section.value("name", "") != family) continue;
        for (const auto& port : section["info"]) ports += std::to_string(port.value("port", -1));
    }
    return ports;
}

int CountSequence(const std::vector<std::string>& messages,
                  const std::vector<std::string>& expected) {
    int count = 0;
    for (size_t start = 0; start + expected.size() <= messages.size(); ++start) {
        if (std::equal(expected.begin(), expected.end(), messages.begin() + start)) ++count;
    }
    return count;
}

std::vector<std::string> Heard(const e2e::BenchRun& run, const std::string& port) {
    std::vector<std::string> texts;
    for (const auto& message : run.Serial(port, "rx")) texts.push_back(message.value("text", ""));
    return texts;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The checks every serial scenario shares: the tool exit, its exchange lines once per cycle,
// the RS232 ports of the document and the tips message's output.
void ExpectSerialRun(const e2e::BenchRun& run, const std::string& scenario, int cycles) {
    const SerialRun expected = ExpectationsFor(scenario);
    ASSERT_FALSE(expected.log.empty()) << "no expectations for " << scenario;
    EXPECT_EQ(run.ToolExitCode(), 0);
    EXPECT_EQ(CountSequence(run.Messages(), expected.log), cycles)
        << "exchange lines not found " << cycles << " times:\n"
        << run.record.value("log", "");
    EXPECT_EQ(DocumentPorts(run, "RS232"), expected.ports);
    const std::string out = run.record.value("stdout", "");
    EXPECT_TRUE(EndsWith(out, expected.tips)) << "standard output:\n" << out;
}

E2E_SUITE_WITH(SerialStandard, SerialSpec("standard"));
E2E_SUITE_WITH(SerialCutPair, SerialSpec("serial-cut-pair"));
E2E_SUITE_WITH(SerialSelfHearing, SerialSpec("serial-self-hearing"));
E2E_SUITE_WITH(SerialPort1Missing, SerialSpec("serial-port1-missing"));
E2E_SUITE_WITH(SerialEightPorts, SerialSpec("serial-eight-ports"));
E2E_SUITE_WITH(SerialOnePort, SerialSpec("serial-one-port"));
E2E_SUITE_WITH(SerialAtError, SerialSpec("at-error"));
E2E_SUITE_WITH(SerialAtSilent, SerialSpec("at-silent"));
E2E_SUITE_WITH(SerialAtZeroOk, SerialSpec("at-zero-ok"));

TEST_F(SerialStandard, BothPairsAndTheSensorPassEveryCycle) {
    ExpectSerialRun(*run, "standard", 2);
    EXPECT_TRUE(run->HasMessage("Test Q7 OK!!!"));
}

TEST_F(SerialStandard, SensorProbedEachCycleThenTheVerdictSent) {
    EXPECT_EQ(Heard(*run, "/dev/RS232-5"), (std::vector<std::string>{"AT", "AT", "AT+OK"}));
    for (int port = 1; port <= 4; ++port) {
        EXPECT_EQ(Heard(*run, "/dev/RS232-" + std::to_string(port)).size(), 2u) << port;
    }
}

TEST_F(SerialCutPair, BothEndsFailThePairBesideStillPasses) {
    ExpectSerialRun(*run, "serial-cut-pair", 1);
    EXPECT_TRUE(run->HasMessage("RS232-1:Test Succ Cnt 0,Error Cnt 1"));
    EXPECT_TRUE(run->HasMessage("RS232-2:Test Succ Cnt 0,Error Cnt 1"));
    EXPECT_TRUE(run->HasMessage("Test Q7 Err!!!"));
}

TEST_F(SerialSelfHearing, OnlyTheSecondPortFails) {
    ExpectSerialRun(*run, "serial-self-hearing", 1);
}

TEST_F(SerialPort1Missing, ItsPartnerIsNeverExchanged) {
    ExpectSerialRun(*run, "serial-port1-missing", 1);
    EXPECT_TRUE(Heard(*run, "/dev/RS232-2").empty());
}

TEST_F(SerialEightPorts, TheEighthPortNeverPasses) {
    ExpectSerialRun(*run, "serial-eight-ports", 1);
    EXPECT_TRUE(run->HasMessage("@:RS232 Cnt:8"));
    EXPECT_TRUE(Heard(*run, "/dev/RS232-8").empty());
    EXPECT_EQ(Heard(*run, "/dev/RS232-7").size(), 1u);
}

TEST_F(SerialOnePort, OnlyTheSensorTestRuns) {
    ExpectSerialRun(*run, "serial-one-port", 1);
    EXPECT_EQ(Heard(*run, "/dev/RS232-1"), std::vector<std::string>{"AT"});
    for (const std::string& message : run->Messages()) {
        EXPECT_EQ(message.rfind("Write RS232-", 0), std::string::npos) << message;
    }
}

TEST_F(SerialAtError, AnswerWithoutOkFailsTheSensorPort) { ExpectSerialRun(*run, "at-error", 1); }

TEST_F(SerialAtSilent, SilentDeviceFailsTheSensorPort) { ExpectSerialRun(*run, "at-silent", 1); }

TEST_F(SerialAtZeroOk, LeadingZeroByteIsDropped) {
    ExpectSerialRun(*run, "at-zero-ok", 1);
    EXPECT_TRUE(run->HasMessage("Test Q7 OK!!!"));
}

}  // namespace
