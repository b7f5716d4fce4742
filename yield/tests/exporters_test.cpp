// What the JUnit and JSON records promise their readers: times with their zone, totals, one
// failure per defect with what was expected and got, and one type per JSON field.
#include "export/exporters.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <nlohmann/json.hpp>
#include <regex>

using namespace yield;

namespace {

// Sets TZ for one test and puts the old value back.
struct ZoneFor {
    explicit ZoneFor(const char* zone) : had(std::getenv("TZ") != nullptr) {
        if (had) old = std::getenv("TZ");
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneFor() {
        had ? setenv("TZ", old.c_str(), 1) : unsetenv("TZ");
        tzset();
    }
    bool had;
    std::string old;
};

constexpr char kCentralEurope[] = "CET-1CEST,M3.5.0,M10.5.0/3";

Measurement Judged(const std::string& port, const std::string& name, double value, double limit,
                   bool passed) {
    Measurement m;
    m.cycle = 1;
    m.port = port;
    m.name = name;
    m.value = value;
    m.unit = "bytes";
    m.hasLimits = true;
    m.low = m.high = limit;
    m.outcome = passed ? "pass" : "fail";
    m.line = name + " line";
    return m;
}

// A run with a cut RS232 cable (two cycles) and an AT port whose answer held CR LF.
RunRecord CutCableRun() {
    RunRecord run;
    run.host = "bench1";
    run.chipId = "0x00C0FFEE";
    run.timeStamp = "2026_12_07_12_00_51";
    run.startedAt = "2026-12-07 12:00:51";
    run.endedAt = "2026-12-07 12:01:05";
    run.verdict = Verdict::Err;
    run.ports = {PortResult{"RS232", 1, false, false}, PortResult{"RS232", 2, true, false},
                 PortResult{"RS232", 5, false, false}};
    run.measurements.push_back(Judged("RS232-1", "RS232-1>2.bytes", 0, 32, false));
    run.measurements.push_back(Judged("RS232-1", "RS232-1>2.bytes", 0, 32, false));
    run.measurements.back().cycle = 2;
    run.measurements.push_back(Judged("RS232-2", "RS232-2>1.bytes", 32, 32, true));
    Measurement at = Judged("RS232-5", "AT.answer", 8, 0, false);
    at.hasLimits = false;
    at.text = "ER\r\nROR\t";
    run.measurements.push_back(at);
    run.failures.push_back(FailureLine{1, "RS232-1", "Read RS232-2 Error! iread:0"});
    return run;
}

std::string Attribute(const std::string& xml, const std::string& element, const std::string& name) {
    std::smatch m;
    std::regex re("<" + element + "\\b[^>]*\\s" + name + "=\"([^\"]*)\"");
    return std::regex_search(xml, m, re) ? m[1].str() : "<none>";
}

}  // namespace

TEST(ExportTimes, CarryTheZoneOffsetOfTheirDateAndTheRunsDuration) {
    ZoneFor zone(kCentralEurope);
    EXPECT_EQ(IsoTimeWithZone("2026-12-07 12:00:51"), "2026-12-07T12:00:51+01:00");
    EXPECT_EQ(IsoTimeWithZone("2026-07-01 08:00:00"), "2026-07-01T08:00:00+02:00");
    EXPECT_EQ(IsoTimeWithZone("not a time"), "not a time");
    RunRecord run = CutCableRun();
    EXPECT_EQ(RunSpanOf(run).seconds, 14);
    run.endedAt = "2026-12-08 00:00:00";
    EXPECT_EQ(RunSpanOf(run).seconds, 11 * 3600 + 59 * 60 + 9);
    run.endedAt = "";
    EXPECT_EQ(RunSpanOf(run).seconds, 0);
}

// The autumn change repeats 02:00 to 02:59: a run from 02:59:50 summer time to 02:00:10 winter
// time took 20 s. The spring change skips 02:00 to 02:59: such a time names one instant.
TEST(ExportTimes, ARunAcrossAClockChangeEndsAfterItStarts) {
    ZoneFor zone(kCentralEurope);
    RunRecord run;
    run.startedAt = "2026-10-25 02:59:50";
    run.endedAt = "2026-10-25 02:00:10";
    RunSpan span = RunSpanOf(run);
    EXPECT_EQ(span.seconds, 20);
    EXPECT_EQ(span.start, "2026-10-25T02:59:50+02:00");
    EXPECT_EQ(span.end, "2026-10-25T02:00:10+01:00");
    run.endedAt = "2026-10-25 02:59:55";  // within the first 02 hour
    EXPECT_EQ(RunSpanOf(run).end, "2026-10-25T02:59:55+02:00");
    EXPECT_EQ(IsoTimeWithZone("2026-03-29 02:30:00"), "2026-03-29T02:30:00+01:00");
    run.startedAt = "2026-03-29 01:59:50";
    run.endedAt = "2026-03-29 03:00:05";
    EXPECT_EQ(RunSpanOf(run).seconds, 15);
}

TEST(JunitExport, TotalsTimesAndOneFailurePerDefect) {
    ZoneFor zone(kCentralEurope);
    std::string xml = RunJunitXml(CutCableRun());
    for (const char* element : {"testsuites", "testsuite"}) {
        EXPECT_EQ(Attribute(xml, element, "tests"), "4") << element;  // 3 ports and the verdict
        EXPECT_EQ(Attribute(xml, element, "failures"), "2") << element;
        EXPECT_EQ(Attribute(xml, element, "errors"), "0") << element;
        EXPECT_EQ(Attribute(xml, element, "skipped"), "0") << element;
        EXPECT_EQ(Attribute(xml, element, "time"), "14") << element;
    }
    EXPECT_EQ(Attribute(xml, "testsuite", "timestamp"), "2026-12-07T12:00:51+01:00");
    EXPECT_EQ(Attribute(xml, "testcase", "time"), "0");
    EXPECT_NE(xml.find("<property name=\"chip_id\" value=\"0x00C0FFEE\"/>"), std::string::npos);
    EXPECT_NE(xml.find("<property name=\"station\" value=\"\"/>"), std::string::npos);
    // Two cycles of the same cut cable: one failure, its value named once.
    EXPECT_NE(xml.find("message=\"RS232-1&gt;2.bytes: expected 32 bytes, got 0 bytes\""),
              std::string::npos)
        << xml;
    EXPECT_EQ(xml.find("RS232-2&gt;1.bytes"), std::string::npos);  // passed, carried by RS232-2
    // The AT answer's CR, LF and tab survive an attribute as character references.
    EXPECT_NE(xml.find("AT.answer: got &quot;ER&#13;&#10;ROR&#9;&quot;"), std::string::npos) << xml;
    std::regex rawInAttribute("=\"[^\"]*[\r\n\t][^\"]*\"");
    EXPECT_FALSE(std::regex_search(xml, rawInAttribute));
}

TEST(JunitExport, VerdictCaseExplainsWhatNoPortDoes) {
    RunRecord setUp = CutCableRun();
    setUp.ports.clear();
    setUp.measurements.clear();
    setUp.hasVerdictCode = true;
    setUp.verdictCode = -2;
    setUp.failures = {FailureLine{0, "", "Err Get Port Info!!!"}};
    std::string xml = RunJunitXml(setUp);
    EXPECT_EQ(Attribute(xml, "testsuites", "failures"), "1");
    EXPECT_NE(xml.find("got ERR with no failed port (code -2): Err Get Port Info!!!"),
              std::string::npos)
        << xml;

    // A port no value explains carries the line that failed it, never a bare "port failed".
    RunRecord unread = setUp;
    unread.ports = {PortResult{"DO", 2, false, false}, PortResult{"DI", 2, false, false}};
    unread.failures = {FailureLine{1, "DO-2", "Write DO2:-1 Err!"}};
    xml = RunJunitXml(unread);
    EXPECT_EQ(xml.find("message=\"port failed\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("name=\"DI-2\" time=\"0\">\n      <failure message=\"Write DO2:-1 Err!\""),
              std::string::npos)
        << xml;

    RunRecord cut = CutCableRun();
    cut.verdict = Verdict::Incomplete;
    cut.cyclesAsked = 2;
    cut.cyclesRun = 1;
    xml = RunJunitXml(cut);
    EXPECT_EQ(Attribute(xml, "testsuites", "errors"), "1");
    EXPECT_EQ(Attribute(xml, "testsuites", "failures"), "2");
    EXPECT_NE(xml.find("<error message=\"the log ends in cycle 1 of 2, after AT.answer\""),
              std::string::npos)
        << xml;
}

TEST(JsonExport, OneTypePerFieldStationSourceAndReason) {
    RunRecord run = CutCableRun();
    nlohmann::json j = nlohmann::json::parse(RunJsonRecord(run));
    EXPECT_EQ(j["duration"], 14);
    EXPECT_TRUE(j["dut"]["station"].is_null());
    EXPECT_TRUE(j["source"].is_null());
    EXPECT_TRUE(j["incomplete_reason"].is_null());
    for (const auto& phase : j["phases"]) {
        for (const auto& m : phase["measurements"]) {
            EXPECT_TRUE(m["value"].is_number()) << m;
            EXPECT_TRUE(m["text"].is_string()) << m;
        }
    }
    const auto& answer = j["phases"][0]["measurements"][2];  // cycle 1: two counts, then it
    EXPECT_EQ(answer["name"], "AT.answer");
    EXPECT_EQ(answer["value"], 8);
    EXPECT_EQ(answer["text"], "ER\r\nROR\t");

    run.station = "fixture-A";
    run.verdict = Verdict::Incomplete;
    run.tallies.push_back(PortTally{"RS232", 1, "", 0, 2});
    SourceRow kept;
    kept.path = "/pile/a.log";
    j = nlohmann::json::parse(RunJsonRecord(run, &kept));
    EXPECT_EQ(j["dut"]["station"], "fixture-A");
    EXPECT_EQ(j["source"]["path"], "/pile/a.log");
    EXPECT_TRUE(j["source"]["sha256"].is_null());
    EXPECT_EQ(j["incomplete_reason"], "the log ends in the summary, without a verdict line");
    kept.sha256 = std::string(64, 'a');
    j = nlohmann::json::parse(RunJsonRecord(run, &kept));
    EXPECT_EQ(j["source"]["sha256"], kept.sha256);
}
