// The DIO classes and the digital loop-back and LED tests on the bench, read from the run
// record's timeline, the log and standard output.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "bench_run.h"
#include "suite_run.h"

namespace {

using Json = nlohmann::json;
using Requests = std::vector<std::pair<long, long>>;

Requests CodesAndArgs(const std::vector<Json>& ioctls) {
    Requests out;
    for (const Json& e : ioctls) out.emplace_back(e["code"].get<long>(), e["arg"].get<long>());
    return out;
}

// Requests kept as data: "<code> <arg>" a line.
Requests ReadRequests(const std::string& name) {
    Requests out;
    for (const std::string& line : e2e::ReadExpectations(name)) {
        std::istringstream words(line);
        std::string code, arg;
        words >> code >> arg;
        out.emplace_back(std::stol(code, nullptr, 0), std::stol(arg, nullptr, 0));
    }
    return out;
}

// Args of the DIO test's requests with `code` (the LED test's system outputs left out).
std::vector<long> DioArgsOf(const e2e::BenchRun& run, long code) {
    std::vector<long> out;
    for (const auto& [c, arg] : CodesAndArgs(run.Ioctls())) {
        if (c == code && arg < 0x83) out.push_back(arg);
    }
    return out;
}

long Count(const std::vector<std::string>& messages, const std::string& text) {
    return std::count(messages.begin(), messages.end(), text);
}

// The tally line of the summary, e.g. Tally("DI-5:NC ", 0, 1), Tally("Led-0[Beep]:", 1, 0).
std::string Tally(const std::string& port, int succ, int err) {
    return port + "Test Succ Cnt " + std::to_string(succ) + ",Error Cnt " + std::to_string(err);
}

E2E_SUITE(DioStandardBoard, "standard", "Cnt=1");

TEST_F(DioStandardBoard, OutputsAreWrittenAndInputsReadInTheWiredOrder) {
    std::map<std::string, std::vector<long>> order;
    for (const std::string& line : e2e::ReadExpectations("dio_standard_order.txt")) {
        std::istringstream words(line);
        std::string kind, index;
        words >> kind;
        while (words >> index) order[kind].push_back(std::stol(index, nullptr, 0));
    }
    EXPECT_EQ(DioArgsOf(*run, 0), order["outputs"]);
    EXPECT_EQ(DioArgsOf(*run, 1), order["outputs"]);
    EXPECT_EQ(DioArgsOf(*run, 10), order["inputs"]);
    for (const char* port : {"DO-1:NO ", "DO-6:NC ", "DI-3:NO ", "DI-6:NC "})
        EXPECT_TRUE(run->HasMessage(Tally(port, 1, 0))) << port;
}

TEST_F(DioStandardBoard, LedsAreSwitchedOffAndOnThenTurnedOffByTextAfterClosing) {
    Requests led;
    double lastLed = 0;
    for (const Json& e : run->Ioctls()) {
        if (e["arg"].get<long>() < 0x83) continue;
        led.emplace_back(e["code"].get<long>(), e["arg"].get<long>());
        lastLed = e["t_ms"].get<double>();
    }
    EXPECT_EQ(led, ReadRequests("dio_led_requests.txt"));
    Json off;
    for (const Json& t : run->TextCommands()) {
        if (off.is_null() && t["t_ms"].get<double>() > lastLed) off = t;
    }
    ASSERT_FALSE(off.is_null()) << "no text command after the LED test";
    EXPECT_EQ(off["text"], "SOFF=4,5");
    EXPECT_NEAR(off["t_ms"].get<double>() - lastLed, 300.0, 100.0);
    for (const char* name : {"Led-0[Beep]:", "Led-2[D3]:", "Led-1[D2]:"})
        EXPECT_TRUE(run->HasMessage(Tally(name, 1, 0))) << name;
}

E2E_SUITE(DioStuckInput, "dio-stuck-di5-0", "Cnt=1");

TEST_F(DioStuckInput, FailsOnlyWhenTheOutputsAreOn) {
    EXPECT_TRUE(run->HasMessage("Write DO3:0 Read DI5:0 OK!"));
    EXPECT_TRUE(run->HasMessage("Write DO3:1 Read DI5:0 Err!"));
    EXPECT_TRUE(run->HasMessage(Tally("DI-5:NO ", 1, 0)));
    EXPECT_TRUE(run->HasMessage(Tally("DI-5:NC ", 0, 1)));
    EXPECT_TRUE(run->HasMessage(Tally("DO-3:NC ", 1, 0)));
    EXPECT_TRUE(run->HasMessage("Test Q7 Err!!!"));
}

E2E_SUITE(DioRefusedWrite, "dio-refused-do2", "Cnt=1");

TEST_F(DioRefusedWrite, LeavesTheOutputFailedAndItsInputUnread) {
    for (const Json& e : run->Ioctls()) {
        if (e["arg"] != 2) continue;
        EXPECT_LE(e["code"].get<long>(), 1) << "DO2 or DI2 read: " << e.dump();
        EXPECT_LT(e["answer"].get<long>(), 0);
    }
    EXPECT_EQ(Count(run->Messages(), "Write DO2:-1 Err!"), 2);
    for (const char* port : {"DO-2:NO ", "DO-2:NC ", "DI-2:NO ", "DI-2:NC "})
        EXPECT_TRUE(run->HasMessage(Tally(port, 0, 1))) << port;
    EXPECT_TRUE(run->HasMessage(Tally("DO-3:NC ", 1, 0)));
}

E2E_SUITE(DioAbsentDevice, "dio-absent", "Cnt=1");

TEST_F(DioAbsentDevice, NoRequestAndEveryEntryFails) {
    EXPECT_TRUE(run->Ioctls().empty());
    EXPECT_EQ(Count(run->Messages(), "#######Err OpenDio:/dev/vxdio##"), 3);
    for (const char* port : {"DO-1:NO ", "DO-6:NC ", "DI-1:NO ", "DI-6:NC ", "Led-0[Beep]:"})
        EXPECT_TRUE(run->HasMessage(Tally(port, 0, 1))) << port;
}

E2E_SUITE(DioBeeperReadBackOn, "dio-readback-sdo3-1", "Cnt=1");

TEST_F(DioBeeperReadBackOn, StillPassesOnItsOnStep) {
    EXPECT_TRUE(run->HasMessage("Write SDO3:0 Err!"));
    EXPECT_TRUE(run->HasMessage("Write SDO3:1 OK!"));
    EXPECT_TRUE(run->HasMessage(Tally("Led-0[Beep]:", 1, 0)));
}

E2E_SUITE(Dio130Ports, "dio-130", "Cnt=1");

// The loop-back's only system-port requests are those of SDO1 and SDO2, as on any board:
// DO128 to DO130 and DI128 to DI130 would be 0x80 to 0x82.
TEST_F(Dio130Ports, NoNumberPast127ReachesASystemPort) {
    Requests system;
    for (const auto& [code, arg] : CodesAndArgs(run->Ioctls())) {
        if (arg >= 0x80 && arg < 0x83) system.emplace_back(code, arg);
    }
    EXPECT_EQ(system, (Requests{{0, 0x81},
                                {11, 0x81},
                                {0, 0x82},
                                {11, 0x82},
                                {1, 0x81},
                                {11, 0x81},
                                {1, 0x82},
                                {11, 0x82}}));
    EXPECT_EQ(DioArgsOf(*run, 10).size(), 2u * (2 + 123 + 2)) << "DI1, DI2, DI5-DI127, DI4, DI3";
    // One line per pass for each number past 127; DO127's input only matters when it is on.
    const std::pair<const char*, long> lines[] = {{"DO128 has no port index, Err!", 2},
                                                  {"DO130 has no port index, Err!", 2},
                                                  {"DI128 has no port index, Err!", 2},
                                                  {"DI130 has no port index, Err!", 2},
                                                  {"Write DO127:1 no DI129 to read, Err!", 1}};
    for (const auto& [line, times] : lines) EXPECT_EQ(Count(run->Messages(), line), times) << line;
}

TEST_F(Dio130Ports, DocumentIsValidAndFailsOnlyThePortsBeyondReach) {
    auto doc = Json::parse(run->record["result_document"].get<std::string>(), nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << run->record["result_document"];
    std::vector<int> want(130, 1);
    for (int k = 126; k <= 130; ++k) want[k - 1] = 0;  // DO126, DO127 cannot read DI128, DI129
    std::map<std::string, std::vector<int>> ports;
    for (const auto& section : doc["logDate"]) {
        for (const auto& port : section["info"]) ports[section["name"]].push_back(port["port"]);
    }
    EXPECT_EQ(ports["DO"], want);
    for (int d = 126; d <= 127; ++d) want[d - 1] = 1;
    EXPECT_EQ(ports["DI"], want);
    EXPECT_TRUE(run->HasMessage("Test Q7 Err!!!"));
    EXPECT_EQ(run->ToolExitCode(), 0);
}

// The client of the classes runs in place of the tool.
E2E_SUITE_WITH(DioClient,
               (e2e::RunPlan{DEVUZE_DIO_CLIENT_SCENARIO, {}, {"--tool", DEVUZE_DIO_CLIENT}}));

std::string Stdout(const e2e::BenchRun& run) {
    std::ifstream in(run.outDir + "/stdout.txt", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(DioClient, EveryRequestReachesTheModelWithItsCodeAndIndex) {
    EXPECT_EQ(run->ToolExitCode(), 0);
    EXPECT_EQ(CodesAndArgs(run->Ioctls()), ReadRequests("dio_client_requests.txt"));
}

TEST_F(DioClient, UnopenedObjectAnswersMinusOneWithOneReport) {
    EXPECT_EQ(Stdout(*run).rfind("unopened:-1\n", 0), 0u);
    EXPECT_EQ(Count(run->Messages(), "------Err m_fdDio:-1------"), 1);
}

TEST_F(DioClient, DumpPrintsTheGroupsOfTwelveInputsAndEightOutputs) {
    std::string out = Stdout(*run);
    // clang-format off
    for (const char* line :
         {"**SYSDI1:**iret:", "**\xC7\xB0" "2\xD7\xE9SYSDI:**iret:", "**\xC7\xB0" "3\xD7\xE9SYSDO:**iret:",
          "**DI1:**iret:", "**DI2:**iret:", "**\xC7\xB0" "3\xD7\xE9" "DI:**iret:", "**DO1:**iret:",
          "**\xC7\xB0" "2\xD7\xE9" "DO:**iret:", "\ndump:0\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line;
    // clang-format on
    EXPECT_EQ(out.find("**DI3:"), std::string::npos);
    EXPECT_EQ(out.find("**DO2:"), std::string::npos);
    // Every group answer of the model is the one printed, in order.
    std::string printed;
    for (const Json& e : run->Ioctls()) {
        if (e["code"].get<long>() < 13) continue;
        char line[64];
        snprintf(line, sizeof line, "**iret:0x%04X nCMD:%ld DIOIndex:0x%02lX\n",
                 e["answer"].get<unsigned>(), e["code"].get<long>(), e["arg"].get<unsigned long>());
        printed += line;
    }
    std::string found;
    for (size_t at = out.find("**iret:"); at != std::string::npos; at = out.find("**iret:", at + 1))
        found += out.substr(at, out.find('\n', at) + 1 - at);
    EXPECT_EQ(found, printed);
    EXPECT_NE(printed.find("**iret:0x0004 nCMD:16 DIOIndex:0x01"), std::string::npos)
        << "DO3 left on shows in its group";
}

}  // namespace
