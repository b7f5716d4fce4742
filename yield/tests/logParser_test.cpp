#include "parse/logParser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "parse/logLines.h"
#include "testSupport.h"

namespace fs = std::filesystem;
using namespace yield;

namespace {

using yieldtest::ReadAll;

// The failing ports as the bench recorded the run's result document.
std::vector<std::string> ExpectedFailing(const nlohmann::json& doc) {
    std::vector<std::string> out;
    for (const auto& sec : doc["logDate"]) {
        int n = 0;
        for (const auto& e : sec["info"]) {
            ++n;
            if (e["port"] != 1)
                out.push_back(sec["name"].get<std::string>() + "-" + std::to_string(n));
        }
    }
    return out;
}

std::string Line(int seq, const std::string& msg) {
    return std::to_string(seq) + "=[RtLog][2026-01-02 03:04:05] " + msg +
           "\tdevuzeV7 main line=1\n";
}

// A small complete log of one cycle with one AI input.
std::string MiniLog(const std::string& host, const std::string& verdictLine = "Test Q7 OK!!!") {
    std::vector<std::string> m = {"cat /sys/fsl_otp/HW_OCOTP_CFG1...",
                                  "./devuzeV7  Cnt=1",
                                  std::string(42, '*'),
                                  "hostname:" + host,
                                  "DateTime:2026_01_02_03_04_05",
                                  "Build:Jan  1 2026 00:00:00",
                                  "Version:1.0.0.1",
                                  "TestMode:0",
                                  "iMx6ull:0xABC",
                                  std::string(42, '*'),
                                  "@:nTestCnt:1",
                                  "@:AI Cnt:1",
                                  "***************** test *******************",
                                  "-----Try Test 1-----",
                                  "****Try Test ADC 1*****",
                                  "cat /sys/bus/iio/devices/iio:device0/in_voltage1_raw...",
                                  "AI1: nDatRead=2048 nValTmp=165 OK!",
                                  std::string(42, '*'),
                                  "AI-1:Test Succ Cnt 1,Error Cnt 0",
                                  "iTestSta:0",
                                  verdictLine};
    std::string out;
    for (size_t i = 0; i < m.size(); ++i) out += Line(static_cast<int>(i), m[i]);
    return out;
}

}  // namespace

TEST(LogParser, GoldenLogsParseToTheBenchRecord) {
    int checked = 0;
    for (const auto& scenario : fs::directory_iterator(YIELD_GOLDEN_DIR)) {
        nlohmann::json expected = nlohmann::json::parse(ReadAll(scenario.path() / "expected.json"));
        auto doc = nlohmann::json::parse(expected["result_document"].get<std::string>());
        for (const auto& f : fs::recursive_directory_iterator(scenario.path())) {
            if (f.path().extension() != ".log") continue;
            SCOPED_TRACE(f.path().string());
            ParseResult r = ParseLog(ReadAll(f.path()), f.path().filename().string());
            ASSERT_EQ(r.kind, ParseResult::Kind::Run) << r.reason;
            EXPECT_STREQ(VerdictWord(r.run.verdict),
                         expected["verdict"].get<std::string>().c_str());
            EXPECT_EQ(r.run.host, expected["hostname"].get<std::string>());
            EXPECT_EQ(r.run.chipId, "0x1A2B3C4D");
            EXPECT_EQ(r.run.cyclesRun, 2);
            EXPECT_EQ(r.run.FailingPorts(), ExpectedFailing(doc));
            EXPECT_EQ(r.run.resultDoc, expected["result_document"].get<std::string>());
            ++checked;
        }
    }
    EXPECT_GE(checked, 20);
}

// A stamp whose date is on no calendar gives the run no day, so it falls in no day's row and
// under no --since.
TEST(LogParser, DayOnlyFromACalendarDate) {
    RunRecord run;
    for (const char* stamp : {"9999_99_99_00_00_00", "2026_13_45_10_00_00", "2026_02_29_10_00_00",
                              "2026_00_10_10_00_00", "2026-12-07_10_00_00", "2026_12_0"}) {
        run.timeStamp = stamp;
        EXPECT_EQ(run.Day(), "") << stamp;
    }
    run.timeStamp = "2024_02_29_23_59_59";
    EXPECT_EQ(run.Day(), "2024-02-29");
}

TEST(LogParser, ReadsHeaderCountsTalliesAndAnalogue) {
    ParseResult r = ParseLog(MiniLog("fixture-7"));
    ASSERT_EQ(r.kind, ParseResult::Kind::Run);
    const RunRecord& run = r.run;
    EXPECT_EQ(run.host, "fixture-7");
    EXPECT_EQ(run.timeStamp, "2026_01_02_03_04_05");
    EXPECT_EQ(run.Day(), "2026-01-02");
    EXPECT_EQ(run.args, "Cnt=1");
    EXPECT_EQ(run.version, "1.0.0.1");
    EXPECT_EQ(run.counts.at("AI"), 1);
    ASSERT_EQ(run.tallies.size(), 1u);
    EXPECT_EQ(run.tallies[0].family, "ADC");
    ASSERT_EQ(run.measurements.size(), 2u);
    EXPECT_EQ(run.measurements[1].name, "AI1");
    EXPECT_DOUBLE_EQ(run.measurements[1].value, 1.65);
    EXPECT_EQ(run.measurements[1].outcome, "pass");
    EXPECT_EQ(run.verdict, Verdict::Ok);
    EXPECT_EQ(run.records, 21);
}

TEST(LogParser, ValueWithLineFeedCannotForgeARecordOrVerdict) {
    // A forged line without the full prefix continues the host name's record: the run keeps its
    // key, the host name holds the forged line, and the verdict is the log's own.
    const std::string plain = "evil\n5=[RtLog] Test Q7 OK!!!";
    for (const char* verdictLine : {"Test Q7 Err!!!", "Test Q7 OK!!!"}) {
        ParseResult r = ParseLog(MiniLog(plain, verdictLine));
        ASSERT_EQ(r.kind, ParseResult::Kind::Run) << r.reason;
        EXPECT_EQ(r.run.host, plain);
        EXPECT_EQ(r.run.timeStamp, "2026_01_02_03_04_05");
        EXPECT_EQ(r.run.chipId, "0xABC");
        EXPECT_EQ(r.run.verdict,
                  verdictLine == std::string("Test Q7 OK!!!") ? Verdict::Ok : Verdict::Err);
    }
    // With the full prefix and the next number the forged line is record 4 and the real
    // "DateTime:" record becomes its continuation: the header has lost its time stamp, so the
    // file is no run (a cut header), never a passed one.
    const std::string prefixed = "evil\n4=[RtLog][2026-01-02 03:04:05] Test Q7 OK!!!\t x line=1";
    ParseResult r = ParseLog(MiniLog(prefixed, "Test Q7 Err!!!"));
    EXPECT_EQ(r.kind, ParseResult::Kind::Foreign);
    EXPECT_EQ(r.reason, "run header cut short (no host, processor ID or time stamp)");
    // Its archive name gives the lost time stamp back: then it is the failed run it was, keyed
    // by the host name's first line.
    r = ParseLog(MiniLog(prefixed, "Test Q7 Err!!!"),
                 "deVuzeV7_evil[0xABC]_2026_01_02_03_04_05[ERR].log");
    ASSERT_EQ(r.kind, ParseResult::Kind::Run) << r.reason;
    EXPECT_EQ(r.run.host, "evil");
    EXPECT_EQ(r.run.timeStamp, "2026_01_02_03_04_05");
    EXPECT_EQ(r.run.verdict, Verdict::Err);
}

TEST(LogParser, OnlyTheNextSequenceNumberStartsARecord) {
    std::string log = Line(0, "a") + Line(2, "skipped") + Line(1, "b");
    std::vector<LogRecord> recs = SplitRecords(log);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0].message, "a\tdevuzeV7 main line=1\n2=[RtLog][2026-01-02 03:04:05] skipped");
    EXPECT_EQ(recs[1].message, "b");
}

TEST(LogParser, LogWithoutVerdictIsIncomplete) {
    std::string full = MiniLog("h");
    std::string cut = full.substr(0, full.find("18=["));
    ParseResult r = ParseLog(cut);
    ASSERT_EQ(r.kind, ParseResult::Kind::Run);
    EXPECT_EQ(r.run.verdict, Verdict::Incomplete);
    EXPECT_FALSE(r.run.Complete());
    EXPECT_TRUE(MoreComplete(ParseLog(full).run, r.run));
}

TEST(LogParser, EmptyForeignAndHeaderlessFiles) {
    EXPECT_EQ(ParseLog("").kind, ParseResult::Kind::Empty);
    EXPECT_EQ(ParseLog("hello\nworld\n").kind, ParseResult::Kind::Foreign);
    std::string tail = Line(0, "AI-1:Test Succ Cnt 1,Error Cnt 0") + Line(1, "iTestSta:0") +
                       Line(2, "Test Q7 OK!!!");
    EXPECT_EQ(ParseLog(tail, "notes.txt").kind, ParseResult::Kind::Foreign);
    ParseResult r = ParseLog(tail, "deVuzeV7_ho[st][0x1]_2026_01_02_03_04_05[OK].log");
    ASSERT_EQ(r.kind, ParseResult::Kind::Run);
    EXPECT_TRUE(r.run.headerless);
    EXPECT_EQ(r.run.host, "ho[st]");
    EXPECT_EQ(r.run.chipId, "0x1");
    EXPECT_EQ(r.run.verdict, Verdict::Ok);
}

TEST(LogParser, SetUpFailureIsAFailedRun) {
    std::string log = MiniLog("h");
    log = log.substr(0, log.find("10=[")) + Line(10, "Err Get Port Info!!!");
    ParseResult r = ParseLog(log);
    ASSERT_EQ(r.kind, ParseResult::Kind::Run);
    EXPECT_EQ(r.run.verdict, Verdict::Err);
    EXPECT_EQ(r.run.verdictCode, -2);
    ASSERT_EQ(r.run.failures.size(), 1u);  // the run's own failure: its line says why
    EXPECT_EQ(r.run.failures[0].port, "");
    EXPECT_EQ(r.run.failures[0].line, "Err Get Port Info!!!");
}

namespace {

ParseResult Golden(const std::string& scenario) {
    fs::path p = yieldtest::GoldenFlashLog(scenario);
    return ParseLog(ReadAll(p), p.filename().string());
}

std::vector<std::string> Failed(const RunRecord& run, const std::string& port) {
    std::vector<std::string> out;
    for (const Measurement& m : run.measurements) {
        if (m.port == port && m.outcome == "fail") out.push_back(m.name);
    }
    return out;
}

}  // namespace

TEST(LogParser, GoldenMeasurementsExplainTheFailedPorts) {
    RunRecord at = Golden("at-silent").run;
    EXPECT_EQ(Failed(at, "RS232-5"), (std::vector<std::string>{"AT.answer", "AT.answer"}));
    ASSERT_FALSE(at.failures.empty());
    EXPECT_EQ(at.failures[0].port, "RS232-5");

    RunRecord usb = Golden("usb-none").run;
    EXPECT_EQ(Failed(usb, "USB"), (std::vector<std::string>{"USB.count", "USB.count"}));

    RunRecord adc = Golden("adc-boundaries").run;
    EXPECT_EQ(Failed(adc, "ADC-1"), (std::vector<std::string>{"AI1", "AI1"}));
    EXPECT_TRUE(Failed(adc, "ADC-2").empty());  // 1.50 V sits on the limit and passes

    RunRecord std = Golden("standard").run;
    EXPECT_EQ(std.tallies.size(), 38u);
    EXPECT_EQ(std.measurements.size(), 2u * 37);
    EXPECT_TRUE(std.failures.empty());
    EXPECT_EQ(std.counts.at("DI"), 6);
}

TEST(LogParser, RotatedTailOfARealRunKeyedByItsName) {
    // The last records of a run, renumbered from 0 as after a rotation.
    std::string whole = ReadAll(yieldtest::GoldenFlashLog("adc-boundaries"));
    std::vector<LogRecord> recs = SplitRecords(whole);
    std::string tail;
    for (size_t i = recs.size() - 45; i < recs.size(); ++i) {
        tail +=
            Line(static_cast<int>(tail.empty() ? 0 : std::count(tail.begin(), tail.end(), '\n')),
                 recs[i].message);
    }
    ParseResult r = ParseLog(tail, "deVuzeV7_bench1[0x1A2B3C4D]_2026_12_07_12_02_10[ERR].log");
    ASSERT_EQ(r.kind, ParseResult::Kind::Run) << r.reason;
    EXPECT_TRUE(r.run.headerless);
    EXPECT_EQ(r.run.timeStamp, "2026_12_07_12_02_10");
    EXPECT_EQ(r.run.verdict, Verdict::Err);
    EXPECT_EQ(r.run.FailingPorts(), (std::vector<std::string>{"ADC-1", "ADC-4"}));
}

TEST(LogParser, IntermittentPortAndNumbersPastEveryLimit) {
    std::string log = MiniLog("h", "Test Q7 Err!!!");
    size_t at = log.find("AI-1:Test Succ Cnt 1,Error Cnt 0");
    log.replace(at, 32, "AI-1:Test Succ Cnt 1,Error Cnt 1");
    ParseResult r = ParseLog(log);
    ASSERT_EQ(r.run.ports.size(), 1u);
    EXPECT_FALSE(r.run.ports[0].passed);
    EXPECT_TRUE(r.run.ports[0].intermittent);

    std::string wild = MiniLog("h");
    wild.replace(wild.find("@:AI Cnt:1"), 10, "@:AI Cnt:99999999999999999999");
    wild.replace(wild.find("nValTmp=165"), 11, "nValTmp=-2147483649");
    ParseResult w = ParseLog(wild);
    ASSERT_EQ(w.kind, ParseResult::Kind::Run);
    EXPECT_EQ(w.run.counts.count("AI"), 0u);  // not read rather than read wrong
    EXPECT_EQ(Failed(w.run, "ADC-1").size(), 0u);
}

TEST(LogParser, DocumentSectionWithoutAFamilyNamesNoPort) {
    std::string log = MiniLog("h");
    std::string doc = R"({"logDate":[{"name":"","info":[{"port":0}]},{"name":"AI","info":[{"port":1}]}]})";
    log.replace(log.find("iTestSta:0"), 10, "write /tmp/r.json ok:" + doc + " !!!");
    ParseResult r = ParseLog(log);
    ASSERT_EQ(r.kind, ParseResult::Kind::Run);
    ASSERT_EQ(r.run.ports.size(), 1u);
    EXPECT_EQ(r.run.ports[0].Name(), "AI-1");
}

namespace {

std::string WithCrLf(const std::string& log) {
    std::string out;
    for (char c : log) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

std::string Key(const RunRecord& run) { return run.host + "|" + run.chipId + "|" + run.timeStamp; }

// Everything a parsed run holds, as one text.
std::string Figures(const RunRecord& run) {
    std::ostringstream s;
    s << Key(run) << run.startedAt << run.endedAt << run.args << run.build << run.version
      << run.testMode << run.portSelect << run.cyclesAsked << run.cyclesRun
      << VerdictWord(run.verdict) << run.verdictCode << run.records << run.bytes << run.resultDoc;
    for (const auto& [family, n] : run.counts) s << family << n;
    for (const PortTally& t : run.tallies)
        s << t.family << t.number << t.variant << t.succ << t.err;
    for (const PortResult& p : run.ports) s << p.Name() << p.passed << p.intermittent;
    for (const Measurement& m : run.measurements)
        s << m.cycle << m.port << m.name << m.value << m.text << m.outcome << m.line;
    for (const FailureLine& f : run.failures) s << f.cycle << f.port << f.line;
    return s.str();
}

// Where a cut stops mattering to the key: past the processor ID record and the next prefix.
size_t PastChipRecord(const std::string& log) {
    size_t lineEnd = log.find('\n', log.find("] iMx6ull:"));
    return log.find("] ", lineEnd) + 3;
}

}  // namespace

TEST(LogParser, HeaderCutAnywhereKeepsTheWholeLogsKeyOrIsAProblem) {
    for (const auto& scenario : fs::directory_iterator(YIELD_GOLDEN_DIR)) {
        fs::path path = yieldtest::GoldenFlashLog(scenario.path().filename().string());
        std::string name = path.filename().string();
        std::string log = ReadAll(path);
        RunRecord whole = ParseLog(log, name).run;
        std::string host, chip, stamp;
        ASSERT_TRUE(ParseArchiveName(name, host, chip, stamp));
        bool nameGivesKey = host == whole.host;  // not so when the board escaped the host
        for (const std::string& copy : {log, WithCrLf(log)}) {
            size_t end = PastChipRecord(copy);
            for (size_t cut = 1; cut <= end; ++cut) {
                SCOPED_TRACE(name + " cut at " + std::to_string(cut));
                std::string_view part(copy.data(), cut);
                ParseResult named = ParseLog(part, name);
                ParseResult unnamed = ParseLog(part);
                bool hasRecords = !SplitRecords(part).empty();
                EXPECT_TRUE(named.kind == ParseResult::Kind::Run || !nameGivesKey || !hasRecords);
                for (const ParseResult* r : {&named, &unnamed}) {
                    if (r->kind != ParseResult::Kind::Run) continue;
                    EXPECT_EQ(Key(r->run), Key(whole));
                    EXPECT_EQ(r->run.verdict, Verdict::Incomplete);
                }
            }
        }
    }
}

TEST(LogParser, CrLfCopyIsTheSameRunWithTheSameFigures) {
    for (const auto& scenario : fs::directory_iterator(YIELD_GOLDEN_DIR)) {
        fs::path path = yieldtest::GoldenFlashLog(scenario.path().filename().string());
        SCOPED_TRACE(path.string());
        std::string log = ReadAll(path);
        ParseResult lf = ParseLog(log, path.filename().string());
        ParseResult crlf = ParseLog(WithCrLf(log), path.filename().string());
        ASSERT_EQ(crlf.kind, ParseResult::Kind::Run);
        EXPECT_TRUE(Figures(crlf.run) == Figures(lf.run));  // too long to print
        EXPECT_EQ(crlf.run.bytes, lf.run.bytes);
        EXPECT_EQ(lf.run.verdict, crlf.run.verdict);
    }
}

TEST(LogParser, CutBodyNeverGainsAnotherVerdictOrOtherFailingPorts) {
    std::string log = ReadAll(yieldtest::GoldenFlashLog("dio-stuck-di5-0"));
    RunRecord whole = ParseLog(log).run;
    int complete = 0;
    for (size_t line = log.find('\n'); line != std::string::npos; line = log.find('\n', line + 1)) {
        for (size_t cut = line - 2; cut < std::min(log.size(), line + 6); ++cut) {
            RunRecord run = ParseLog(std::string_view(log.data(), cut)).run;
            if (!run.Complete()) continue;
            ++complete;
            EXPECT_EQ(run.verdict, whole.verdict) << cut;
            EXPECT_EQ(run.FailingPorts(), whole.FailingPorts()) << cut;
        }
    }
    EXPECT_GT(complete, 0);
}

TEST(LogParser, CutKeyFromANameTheBoardChangedIsAProblem) {
    std::string log = MiniLog("ab");
    size_t cut = log.find("hostname:ab") + 10;  // the host cut after "a"
    for (const char* name : {"deVuzeV7_ab[0xABC]_2026_01_02_03_04_05.log",
                             "deVuzeV7_a_b[0xABC]_2026_01_02_03_04_05.log",
                             "deVuzeV7_a\\tb[0xABC]_2026_01_02_03_04_05.log",
                             "deVuzeV7_ab~0123ABCD[0xABC]_2026_01_02_03_04_05.log",
                             "deVuzeV7_xb[0xABC]_2026_01_02_03_04_05.log"}) {
        ParseResult r = ParseLog(std::string_view(log.data(), cut), name);
        bool given = std::string(name).find("_ab[") != std::string::npos;
        EXPECT_EQ(r.kind == ParseResult::Kind::Run, given) << name;
        EXPECT_EQ(given ? r.run.host : r.reason,
                  given ? "ab" : "run header cut short (no host, processor ID or time stamp)");
    }
}

TEST(LogParser, LastRecordThatLooksWholeStandsOnlyWhenTheNameAgrees) {
    auto fnv = [](const std::string& text) {
        uint32_t h = 2166136261u;
        for (char c : text) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
        char hex[16];
        std::snprintf(hex, sizeof hex, "~%08X", h);
        return std::string(hex);
    };
    std::string longHost(80, 'h');
    std::string forged = "a\tx y line=1\nb";  // a raw host with what looks like a caller tail
    struct Case {
        std::string host, nameHost, key;  // key "" : not a run
    } cases[] = {{longHost, longHost.substr(0, 20) + fnv(longHost), longHost},
                 {longHost, longHost.substr(0, 20) + "~0123ABCD", ""},
                 {"a/b", "a_b", "a/b"},
                 {forged, "a\\tx y line=1\\nb", ""}};
    for (const Case& c : cases) {
        std::string log = MiniLog(c.host);
        size_t cut = log.find('\n', log.find("line=1\n", log.find("hostname:"))) + 1;
        if (c.host == forged) cut = log.find("line=1\n", log.find("hostname:")) + 7;
        std::string name = "deVuzeV7_" + c.nameHost + "[0xABC]_2026_01_02_03_04_05.log";
        ParseResult r = ParseLog(std::string_view(log.data(), cut), name);
        EXPECT_EQ(r.kind == ParseResult::Kind::Run ? r.run.host : "", c.key) << c.nameHost;
    }
}

namespace {

// The mini log with `lines` in place of its ADC section's reading, under section `section`.
std::string WithSection(const std::string& section, const std::vector<std::string>& lines) {
    std::string log = MiniLog("h", "Test Q7 Err!!!");
    int seq = 14;
    std::string out =
        log.substr(0, log.find("14=[")) + Line(seq++, "****Try Test " + section + " 1*****");
    for (const std::string& l : lines) out += Line(seq++, l);
    for (const LogRecord& r : SplitRecords(log.substr(log.find("17=["))))
        out += Line(seq++, r.message);
    return out;
}

// The measurement of that name, or an empty one ("" outcome) when the run has none.
Measurement Named(const RunRecord& run, const std::string& name) {
    for (const Measurement& m : run.measurements) {
        if (m.name == name) return m;
    }
    return Measurement{};
}

// Every judged measurement that failed lies outside its limits; every one that passed, inside.
void ExpectLimitsAgree(const RunRecord& run) {
    for (const Measurement& m : run.measurements) {
        if (!m.hasLimits) continue;
        bool inside = m.value >= m.low && m.value <= m.high;
        EXPECT_EQ(inside, m.outcome == "pass") << m.name << " " << m.value << " " << m.outcome;
    }
}

constexpr char kPattern[] = "ABCDEFGHIJKLMNOPQRST1234567890!";

}  // namespace

TEST(LogParser, FailedComparisonsLieOutsideTheirLimits) {
    std::string sent = std::string("Write RS232-1 msgSend:") + kPattern + ",Read RS232-";
    std::string garbled = "ABCDEFGHIJKLMNOPQRST12345678xx!";
    RunRecord rs = ParseLog(WithSection("RS232", {sent + "1 Error! iread:32 msg: " + kPattern,
                                                  sent + "2 Error! iread:32 msg: " + garbled,
                                                  sent + "3 Error! iread:0 msg: "}))
                       .run;
    ExpectLimitsAgree(rs);
    EXPECT_EQ(Named(rs, "RS232-1>1.bytes").outcome, "fail");
    EXPECT_EQ(Named(rs, "RS232-1>1.bytes").high, 0);  // a sender must hear nothing of its own
    EXPECT_EQ(Named(rs, "RS232-1>2.bytes").outcome, "pass");
    Measurement content = Named(rs, "RS232-1>2.content");
    EXPECT_EQ(content.outcome, "fail");
    EXPECT_EQ(content.value, 30);  // two of the 32 bytes differ
    EXPECT_EQ(content.text, garbled);
    EXPECT_EQ(Named(rs, "RS232-1>3.content").outcome, "");  // the count says it: nothing came
    EXPECT_EQ(Named(rs, "RS232-1>3.bytes").outcome, "fail");

    RunRecord dio =
        ParseLog(WithSection("DIO", {"Write DO3:1 Read DI5:0 Err!", "Write DO3:0 Read DI5:0 OK!",
                                     "Write SDO1:1 Read DI7:0 Err!"}))
            .run;
    ExpectLimitsAgree(dio);
    EXPECT_EQ(Named(dio, "DO3=1.DI5").port, "DI-5");  // the input failed; the output took its level
    EXPECT_EQ(Named(dio, "DO3=1.DI5").low, 1);
    ASSERT_EQ(dio.failures.size(), 2u);
    EXPECT_EQ(dio.failures[0].port + dio.failures[1].port, "DI-5DI-7");

    RunRecord led = ParseLog(WithSection("SDO", {"Write SDO4:0 Err!", "Write SDO5:1 OK!"})).run;
    ExpectLimitsAgree(led);
    EXPECT_EQ(Named(led, "SDO4=0").outcome, "fail");
    EXPECT_FALSE(Named(led, "SDO4=0").hasLimits);  // the line does not say what was read back
    EXPECT_EQ(Named(led, "SDO5=1").outcome, "pass");
}

// A pair's read is the reader's, and a port's last read in a cycle rules as on the board; an LED
// passes a cycle, as the board rules, when either switch read back, so a failed switch beside a
// good one fails no port.
TEST(LogParser, AFailureBelongsToThePortThatObservedIt) {
    std::string sent = std::string("Write RS232-4 msgSend:") + kPattern + ",Read RS232-";
    RunRecord rs = ParseLog(WithSection("RS232", {sent + "3 Error! iread:32 msg: xx"})).run;
    EXPECT_EQ(Named(rs, "RS232-4>3.bytes").port, "RS232-3");
    EXPECT_EQ(Named(rs, "RS232-4>3.content").port, "RS232-3");
    ASSERT_EQ(rs.failures.size(), 1u);
    EXPECT_EQ(rs.failures[0].port, "RS232-3");
    // Both hear their own bytes; RS232-1's good read of its partner after that clears it.
    std::string from1 = std::string("Write RS232-1 msgSend:") + kPattern + ",Read RS232-";
    std::string from2 = std::string("Write RS232-2 msgSend:") + kPattern + ",Read RS232-";
    std::string got = std::string(" iread:32 msg: ") + kPattern;
    RunRecord echo =
        ParseLog(WithSection("RS232", {from1 + "1 Error!" + got, from1 + "2 OK!" + got,
                                       from2 + "2 Error!" + got, from2 + "1 OK!" + got}))
            .run;
    EXPECT_EQ(Named(echo, "RS232-1>1.bytes").outcome, "info");
    EXPECT_EQ(Named(echo, "RS232-2>2.bytes").outcome, "fail");
    ASSERT_EQ(echo.failures.size(), 1u);
    EXPECT_EQ(echo.failures[0].port, "RS232-2");

    RunRecord led = ParseLog(WithSection("SDO", {"Write SDO4:0 Err!", "Write SDO4:1 OK!",
                                                 "Write SDO5:0 Err!", "Write SDO5:1 Err!"}))
                        .run;
    EXPECT_EQ(Named(led, "SDO4=0").outcome, "info");
    EXPECT_EQ(Named(led, "SDO5=0").outcome, "fail");
    ASSERT_EQ(led.failures.size(), 2u);
    EXPECT_EQ(led.failures[0].port + led.failures[1].port, "LED-3LED-3");
}

// The golden runs keep their verdicts and failing ports, and none of their failed measurements
// lies inside its limits.
TEST(LogParser, GoldenMeasurementsAgreeWithTheirLimits) {
    for (const char* scenario : {"standard", "dio-stuck-di5-0", "serial-cut-pair", "at-silent",
                                 "usb-none", "adc-boundaries"}) {
        RunRecord run = Golden(scenario).run;
        ExpectLimitsAgree(run);
    }
    RunRecord dio = Golden("dio-stuck-di5-0").run;
    EXPECT_EQ(Failed(dio, "DI-5"), (std::vector<std::string>{"DO3=1.DI5", "DO3=1.DI5"}));
    EXPECT_TRUE(Failed(dio, "DO-3").empty());
}
