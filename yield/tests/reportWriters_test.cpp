#include "report/reportWriters.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "export/exporters.h"
#include "report/escape.h"
#include "report/reportTables.h"
#include "testSupport.h"

using namespace yield;

namespace {

const std::string kHostileHost = "<script>alert(1)</script>\"'&";
const std::string kFormulaHost = "=cmd|' /C calc'!A0";

ReportModel HostileModel() {
    ReportBuilder b({});
    for (const std::string& host : {kHostileHost, kFormulaHost}) {
        RunSummary r;
        r.chipId = "@" + host;
        r.host = host;
        r.timeStamp = "2026_01_01_00_00_00";
        r.day = "2026-01-01";
        r.verdict = Verdict::Err;
        r.ports = {PortResult{"RS232", 1, false, true}};
        b.AddRun(r);
    }
    b.AddReading(NamedValue{1, "AI1", 1.6, "pass"});
    b.AddReading(NamedValue{2, "AI1", 1.66, "pass"});
    return b.Finish();
}

// Names from a result document that would drive a terminal: a title change and a screen clear.
const std::string kTitle = "\x1b]0;pwned\x07";
const std::string kClear = "\x1b[2J";

ReportModel TerminalModel() {
    ReportBuilder b({});
    RunSummary r;
    r.chipId = "A";
    r.host = "h";
    r.timeStamp = "2026_01_01" + kClear;
    r.day = "2026-01-01";
    r.verdict = Verdict::Err;
    r.ports = {PortResult{"RS232" + kTitle, 1, false, true}};
    b.AddRun(r);
    b.AddReading(NamedValue{1, "AI1" + kClear, 1.6, "pass"});
    b.AddReading(NamedValue{2, "AI1" + kClear, 1.66, "pass"});
    return b.Finish();
}

template <class W>
std::string Render(W writer, const ReportModel& m) {
    std::ostringstream out;
    writer(m, out);
    return out.str();
}

std::string Csv(const ReportModel& m, const std::string& table) {
    std::ostringstream out;
    EXPECT_TRUE(WriteReportCsvTable(m, table, out)) << table;
    return out.str();
}

// A CSV text's records as a reader that follows RFC 4180 sees them: a quoted field may hold commas,
// doubled quotes and line breaks.
std::vector<std::vector<std::string>> CsvRecords(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> fields{""};
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
            fields.back() += c;
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ',') {
            fields.emplace_back();
        } else if (!quoted && c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            records.push_back(fields);
            fields = {""};
            ++i;
        } else {
            fields.back() += c;
        }
    }
    EXPECT_FALSE(quoted);
    EXPECT_EQ(fields, std::vector<std::string>{""}) << "text after the last line end";
    return records;
}

// The line after the one holding `heading`, in `text`.
std::string LineAfter(const std::string& text, const std::string& heading) {
    size_t at = text.find(heading);
    if (at == std::string::npos) return "";
    size_t start = text.find('\n', at) + 1;
    return text.substr(start, text.find('\n', start) - start);
}

}  // namespace

TEST(ReportWriters, HostileHostNamesReachNoPageAsMarkup) {
    ReportModel m = HostileModel();
    std::string html = Render(WriteReportHtml, m);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;&quot;&#39;&amp;"),
              std::string::npos);
    EXPECT_NE(html.find("<svg id=\"chart-days\""), std::string::npos);
    EXPECT_NE(html.find("<svg id=\"chart-pareto\""), std::string::npos);
    EXPECT_NE(html.find("<svg id=\"chart-heatmap\""), std::string::npos);
    EXPECT_NE(html.find("class=\"limit\""), std::string::npos);
    EXPECT_EQ(html.find("://"), std::string::npos);  // nothing fetched from a network
    EXPECT_EQ(html.find(" src="), std::string::npos);

    std::string csv = Csv(m, "fixture");
    EXPECT_NE(csv.find("\r\n'=cmd|' /C calc'!A0,"), std::string::npos) << csv;
    EXPECT_EQ(csv.find("=cmd"), csv.find("'=cmd") + 1);
    EXPECT_NE(Csv(m, "intermittent").find("\r\n'@"), std::string::npos);

    nlohmann::json j = nlohmann::json::parse(Render(WriteReportJson, m));
    EXPECT_EQ(j["fixture"][0]["station"], kHostileHost);
    EXPECT_EQ(j["summary"]["boards"], 2);
    EXPECT_EQ(j["pareto"][0]["port"], "RS232-1");
    EXPECT_EQ(j["analogue"][0]["histogram"].size(), 2u);
}

TEST(Exporters, JunitAndJsonRecordCarryFailuresSafely) {
    RunRecord run;
    run.host = kHostileHost;
    run.chipId = "0x1\x01";
    run.timeStamp = "2026_01_01_00_00_00";
    run.verdict = Verdict::Err;
    run.ports = {PortResult{"ADC", 1, false, false}, PortResult{"ADC", 2, true, false}};
    Measurement x;
    x.cycle = 1;
    x.port = "ADC-1";
    x.name = "AI1";
    x.value = 1.72;
    x.unit = "V";
    x.hasLimits = true;
    x.low = 1.5;
    x.high = 1.7;
    x.outcome = "fail";
    x.line = "AI1: nDatRead=2680 nValTmp=172 Err!";
    run.measurements.push_back(x);
    run.failures.push_back(FailureLine{1, "ADC-1", x.line});

    std::string xml = RunJunitXml(run);
    EXPECT_EQ(xml.find("<script"), std::string::npos);
    EXPECT_EQ(xml.find('\x01'), std::string::npos);
    EXPECT_NE(xml.find("tests=\"3\" failures=\"1\""), std::string::npos);  // one per defect
    EXPECT_NE(xml.find("cycle 1: AI1: nDatRead=2680 nValTmp=172 Err!"), std::string::npos);

    nlohmann::json j = nlohmann::json::parse(RunJsonRecord(run));
    EXPECT_EQ(j["outcome"], "FAIL");
    EXPECT_EQ(j["dut"]["host"], kHostileHost);
    EXPECT_EQ(j["phases"][0]["measurements"][0]["high"], 1.7);
    EXPECT_EQ(j["phases"][0]["outcome"], "FAIL");
    EXPECT_EQ(j["phases"][1]["measurements"][0]["log"][0], "cycle 1: " + x.line);
    std::string stem = ExportStem(run);
    EXPECT_EQ(stem.rfind("0x1__2026_01_01_00_00_00__script_alert_1___script_____", 0), 0u) << stem;
}

// An exported run's file name comes from its key alone, stays a short safe name, and keeps apart
// runs whose key parts clean or shorten to the same text.

TEST(Exporters, ExportStemIsBoundedAndKeepsKeysApart) {
    RunRecord a;
    a.host = "bench 1";
    a.chipId = "0x1";
    a.timeStamp = "2026_01_01_00_00_00";
    RunRecord b = a;
    b.host = "bench/1";
    EXPECT_NE(ExportStem(a), ExportStem(b));
    b = a;
    b.verdict = Verdict::Err;
    b.records = 99;
    EXPECT_EQ(ExportStem(a), ExportStem(b));  // not from what the copy holds
    RunRecord huge = a, huge2 = a;
    huge.host = std::string(5000, 'h') + "x";
    huge2.host = std::string(5000, 'h') + "y";
    EXPECT_LE(ExportStem(huge).size(), 200u);
    EXPECT_NE(ExportStem(huge), ExportStem(huge2));
    EXPECT_EQ(ExportStem(a).rfind("0x1_2026_01_01_00_00_00_bench_1_", 0), 0u) << ExportStem(a);
}

TEST(ReportWriters, TextReportPrintsNoTerminalControlFromALog) {
    std::string text = Render(WriteReportText, TerminalModel());
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_EQ(text.find('\x07'), std::string::npos);
    EXPECT_NE(text.find("RS232\\x1B]0;pwned\\x07-1"), std::string::npos) << text;
    EXPECT_NE(text.find("AI1\\x1B[2J"), std::string::npos);
    EXPECT_NE(text.find("2026_01_01\\x1B[2J"), std::string::npos);
}

// Computed numbers stay numbers, negative ones too; text from a log keeps its guard.

TEST(ReportWriters, CsvWritesNumbersAsNumbers) {
    ReportBuilder b({});
    RunSummary r;
    r.chipId = "-1+1";
    r.host = "h";
    r.timeStamp = "2026_01_01_00_00_00";
    r.day = "2026-01-01";
    r.verdict = Verdict::Err;
    r.ports = {PortResult{"RS232", 1, false, true}};
    b.AddRun(r);
    b.AddReading(NamedValue{1, "-AI1", 1.40, "fail"});
    b.AddReading(NamedValue{2, "-AI1", 1.42, "fail"});
    ReportModel m = b.Finish();
    ASSERT_LT(m.analogue[0].cpk, 0);
    EXPECT_EQ(Csv(m, "analogue"),
              "input,count,mean,stddev,min,max,cpk,outside\r\n"
              "'-AI1,2,1.41,0.0141421,1.4,1.42,-2.12132,2\r\n");
    EXPECT_EQ(Csv(m, "intermittent"),
              "chip_id,station,start_stamp,start,port\r\n'-1+1,h,2026_01_01_00_00_00,2026-01-01T00:"
              "00:00,RS232-1\r\n");
}

// Readings that do not vary: no Cpk in any format ("none" as the README words it) and no spread.

TEST(ReportWriters, ReadingsThatDoNotVaryHaveNoCpkInAnyFormat) {
    ReportBuilder b({});
    b.AddReading(NamedValue{0, "AI1", 1.65, ""}, 3);
    ReportModel m = b.Finish();
    std::string text = Render(WriteReportText, m);
    size_t row = text.find("\n  AI1 ");
    ASSERT_NE(row, std::string::npos) << text;
    std::string line = text.substr(row + 1, text.find('\n', row + 1) - row - 1);
    EXPECT_NE(line.find(" 0.0000 "), std::string::npos) << line;
    EXPECT_NE(line.find(" none "), std::string::npos) << line;
    EXPECT_NE(Csv(m, "analogue").find("\r\nAI1,3,1.65,0,1.65,1.65,,0\r\n"), std::string::npos);
    nlohmann::json j = nlohmann::json::parse(Render(WriteReportJson, m));
    EXPECT_TRUE(j["analogue"][0]["cpk"].is_null());
    EXPECT_EQ(j["analogue"][0]["stddev"], 0.0);
    EXPECT_NE(Render(WriteReportHtml, m).find("<td>0.0000</td><td>1.65</td><td>1.65</td><td>none"),
              std::string::npos);
}

TEST(ReportWriters, EveryFormatSaysHowManyRunsHaveNoDay) {
    RunFilter until;
    until.until = "2026-01-31";
    for (const RunFilter& filter : {RunFilter{}, until}) {
        ReportBuilder b(filter);
        b.AddRunsLeftOutWithoutDay(3);
        ReportModel m = b.Finish();
        std::string text = Render(WriteReportText, m);
        EXPECT_NE(text.find(filter.HasDayBound()
                                ? "Runs whose stamp gives no day: 3 (left out by the day bounds)"
                                : "Runs whose stamp gives no day: 3 (counted above"),
                  std::string::npos)
            << text;
        std::string csv = Csv(m, "summary");
        EXPECT_EQ(csv.find("boards,"), 0u) << csv;
        EXPECT_NE(csv.find(",incomplete_runs,no_day_runs\r\n0,"), std::string::npos) << csv;
        EXPECT_NE(csv.find(",0,0,0,3\r\n"), std::string::npos) << csv;
        nlohmann::json j = nlohmann::json::parse(Render(WriteReportJson, m));
        EXPECT_EQ(j["summary"]["no_day_runs"], 3);
        std::string html = Render(WriteReportHtml, m);
        EXPECT_NE(html.find("<th>runs without a day</th>"), std::string::npos);
        EXPECT_NE(html.find("<td>0</td><td>3</td></tr>"), std::string::npos);
    }
}

// The repair queue comes first in every format, its log text escaped as each format escapes it.

TEST(ReportWriters, RepairQueueComesFirstInEveryFormat) {
    ReportModel m = HostileModel();
    ASSERT_EQ(m.repairs.size(), 2u);
    m.repairs[0].failures = "RS232-1 \x1b[2J<b>";
    FailureCause cause;
    cause.ports = {"USB-1", "USB-2"};
    cause.line = "=cmd";
    m.repairs[0].causes = {cause};
    std::string text = Render(WriteReportText, m);
    EXPECT_NE(text.find("\n\nRepair queue"), std::string::npos) << text;
    EXPECT_LT(text.find("Repair queue"), text.find("Yield"));
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_NE(text.find("RS232-1 \\x1B[2J<b>"), std::string::npos) << text;
    EXPECT_EQ(CsvTableNames().front(), "repair");
    std::string csv = Csv(m, "repair");
    EXPECT_EQ(csv.rfind("chip_id,station,start_stamp,start,status,queue_seconds,failures\r\n", 0),
              0u)
        << csv;
    EXPECT_NE(csv.find(",'=cmd|' /C calc'!A0,2026_01_01_00_00_00,2026-01-01T00:00:00,failed,"),
              std::string::npos)
        << csv;
    // One row per failing port, each with its cause, numbered so one cause's ports share it.
    m.repairs[0].chipId = "0x1";
    m.repairs[0].station = "st";
    EXPECT_EQ(Csv(m, "repair_ports"),
              "chip_id,station,start_stamp,start,port,cause,name,value,text,unit,low,high,"
              "expected,message\r\n"
              "0x1,st,2026_01_01_00_00_00,2026-01-01T00:00:00,USB-1,1,,,,,,,,'=cmd\r\n"
              "0x1,st,2026_01_01_00_00_00,2026-01-01T00:00:00,USB-2,1,,,,,,,,'=cmd\r\n");
    std::string json = Render(WriteReportJson, m);
    EXPECT_EQ(json.find("\"repair_queue\""), json.find('"'));
    nlohmann::json j = nlohmann::json::parse(json);
    EXPECT_EQ(j["repair_queue"][0]["status"], "failed");
    EXPECT_EQ(j["repair_queue"][0]["failures"],
              nlohmann::json::parse(R"([{"expected": null, "high": null, "low": null,
                  "message": "=cmd", "name": null, "port": "USB", "ports": ["USB-1", "USB-2"],
                  "text": null, "unit": null, "value": null}])"));
    EXPECT_EQ(j["repair_queue"][0]["start"], "2026-01-01T00:00:00");
    std::string html = Render(WriteReportHtml, m);
    EXPECT_LT(html.find("<h2>Repair queue</h2>"), html.find("<th>boards</th>"));
    EXPECT_NE(html.find(HtmlEscape(XmlSafe(m.repairs[0].failures))), std::string::npos);
    EXPECT_EQ(html.find("[2J<b>"), std::string::npos);
}

// Many hosts: the heat map keeps the ones with flags and failures and says how many it leaves out;
// the fixture table keeps every host that failed.
// Each CSV table read as a spreadsheet reads a file: its first line the header, every line as many
// fields as the header, a host name with a comma, a quote and a line break one field.

TEST(ReportWriters, EachCsvTableIsOneHeaderAndRowsAsWideAsIt) {
    const std::string awkward = "a,b\"c\r\nd";
    ReportBuilder b({});
    for (const std::string& host : {awkward, kHostileHost, kFormulaHost}) {
        RunSummary r;
        r.chipId = "0x" + std::to_string(host.size());
        r.host = host;
        r.timeStamp = "2026_01_01_00_00_00";
        r.day = "2026-01-01";
        r.verdict = Verdict::Err;
        r.ports = {PortResult{"RS232", 1, false, true}};
        b.AddRun(r);
    }
    b.AddReading(NamedValue{1, "AI1", 1.6, "pass"});
    ReportModel m = b.Finish();
    std::vector<std::string> names = CsvTableNames();
    ASSERT_GE(names.size(), 7u);
    size_t rows = 0;
    for (const std::string& name : names) {
        EXPECT_EQ(std::count(names.begin(), names.end(), name), 1) << name;
        std::vector<std::vector<std::string>> records = CsvRecords(Csv(m, name));
        ASSERT_FALSE(records.empty()) << name;
        for (const std::string& key : records[0]) {
            EXPECT_EQ(key.find_first_not_of("abcdefghijklmnopqrstuvwxyz_"), std::string::npos)
                << name << ": " << key;
            EXPECT_NE(key, "table") << name;
        }
        for (const auto& record : records) EXPECT_EQ(record.size(), records[0].size()) << name;
        rows += records.size() - 1;
    }
    EXPECT_GE(rows, names.size());  // every table has rows, so the widths were checked
    std::vector<std::vector<std::string>> fixture = CsvRecords(Csv(m, "fixture"));
    ASSERT_EQ(fixture[0][0], "station");
    EXPECT_EQ(std::count_if(fixture.begin(), fixture.end(),
                            [&](const std::vector<std::string>& r) { return r[0] == awkward; }),
              1);

    std::ostringstream none;
    EXPECT_FALSE(WriteReportCsvTable(m, "nosuch", none));
    EXPECT_EQ(none.str(), "");
}

// Numbers right-aligned under right-aligned headings, text left-aligned under its heading, also
// where a cell is wider than its heading ("100.0% (10)" under "first pass").

TEST(ReportWriters, TextColumnsLieUnderTheirHeadings) {
    ReportBuilder b({});
    for (int board = 0; board < 10; ++board) {
        RunSummary r;
        r.chipId = "0x1A2B00" + std::to_string(10 + board);
        r.host = "h";
        r.timeStamp = "2026_01_01_00_00_" + std::to_string(10 + board);
        r.day = "2026-01-01";
        r.verdict = Verdict::Ok;
        b.AddRun(r);
    }
    std::string text = Render(WriteReportText, b.Finish());
    std::string head = LineAfter(text, "Yield\n");
    std::string row = LineAfter(text, head);
    // Where `cell` ends in `line`, its `nth` occurrence (from 0).
    auto end = [](const std::string& line, const std::string& cell, int nth = 0) {
        size_t at = line.find(cell);
        while (nth-- > 0 && at != std::string::npos) at = line.find(cell, at + 1);
        return at == std::string::npos ? at : at + cell.size();
    };
    EXPECT_EQ(end(head, "boards"), end(row, "10")) << text;
    EXPECT_EQ(end(head, "first pass"), end(row, "100.0% (10)")) << text;
    EXPECT_EQ(end(head, "final"), end(row, "100.0% (10)", 1)) << text;
    std::string day = LineAfter(text, "Yield per day\n");
    EXPECT_EQ(day.find("day"), LineAfter(text, day).find("2026-01-01")) << text;
    EXPECT_EQ(end(day, "yield"), end(LineAfter(text, day), "100.0%")) << text;
}

TEST(ReportWriters, HeatMapShowsTheWorstHostsAndCountsTheRest) {
    ReportBuilder b({});
    for (int i = 0; i < 230; ++i) {
        char host[16];
        std::snprintf(host, sizeof host, "h%03d", i);
        bool failing = i % 20 == 19;  // h019, h039, ...: 11 hosts
        for (int k = 0; k < (failing ? 1 : 4); ++k) {
            RunSummary r;
            r.chipId = std::string(host) + "-" + std::to_string(k);
            r.host = host;
            r.timeStamp = "2026_01_01_00_00_00";
            r.day = "2026-01-01";
            r.verdict = failing ? Verdict::Err : Verdict::Ok;
            r.ports = {PortResult{"RS232", 1, !failing, false}};
            b.AddRun(r);
        }
    }
    std::string html = Render(WriteReportHtml, b.Finish());
    EXPECT_NE(html.find("shows 200 of 230 stations"), std::string::npos);
    EXPECT_NE(html.find(" 30 left out."), std::string::npos);
    size_t map = html.find("<svg id=\"chart-heatmap\"");
    size_t mapEnd = html.find("</svg>", map);
    std::string heat = html.substr(map, mapEnd - map);
    size_t rows = 0;
    for (size_t at = heat.find("<text x=\"0\""); at != std::string::npos;
         at = heat.find("<text x=\"0\"", at + 1))
        ++rows;
    EXPECT_EQ(rows, 200u);
    EXPECT_LT(heat.find(">h019<"), heat.find(">h000<"));  // failures first
    EXPECT_NE(heat.find(">h219<"), std::string::npos);
    EXPECT_EQ(heat.find(">h229<"), std::string::npos);  // last by name among the clean ones
    EXPECT_NE(html.find("<td>h219</td><td>RS232-1</td>"), std::string::npos);
}

// A file written with -o appears whole or not at all, and the one there before stays until then.

TEST(ReportWriters, EveryFormatDefinesItsYieldsAndNamesItsSelection) {
    ReportModel m = HostileModel();
    m.selection.madeAt = "2026-12-07T22:22:47Z";
    m.selection.database = "postgresql://yield@db/factory";
    const Definition& firstPass = kDefinitions[2];
    ASSERT_EQ(firstPass.term, "first_pass_yield");

    std::string text = Render(WriteReportText, m);
    size_t summary = text.find(kSummaryTable.title.text);
    EXPECT_LT(summary, text.find(firstPass.text));
    EXPECT_NE(text.find("Database: postgresql://yield@db/factory\n"), std::string::npos);

    nlohmann::json j = nlohmann::json::parse(Render(WriteReportJson, m));
    EXPECT_EQ(j["definitions"]["first_pass_yield"], firstPass.text);
    EXPECT_EQ(j["selection"]["made_at"], "2026-12-07T22:22:47Z");
    EXPECT_EQ(j["version"], 3);

    std::vector<std::vector<std::string>> defs = CsvRecords(Csv(m, "definitions"));
    ASSERT_EQ(defs.size(), kDefinitions.size() + 1);
    EXPECT_EQ(defs[3], (std::vector<std::string>{firstPass.term, firstPass.text}));
    std::vector<std::vector<std::string>> sel = CsvRecords(Csv(m, "selection"));
    ASSERT_EQ(sel.size(), 2u);
    EXPECT_EQ(sel[1].back(), "postgresql://yield@db/factory");

    std::string html = Render(WriteReportHtml, m);
    size_t figure = html.find("first pass yield</th>");
    ASSERT_NE(figure, std::string::npos);
    EXPECT_LT(figure, html.find(firstPass.text));
    EXPECT_LT(html.find("<td>postgresql://yield@db/factory</td>"), figure);
}

// A queue one board past the head: people see the first kHeadRows and a count, machines every one.
TEST(ReportWriters, PeopleSeeTheHeadOfTheQueueMachinesEveryBoard) {
    ReportModel m;
    for (size_t i = 0; i <= kHeadRows; ++i)
        m.repairs.push_back(
            RepairRow{"0xB" + std::to_string(1000 + i), "s1", "", kRepairFailed, "DI-5"});
    const std::string shown = "0xB" + std::to_string(1000 + kHeadRows - 1);
    const std::string last = "0xB" + std::to_string(1000 + kHeadRows);
    const std::string rest = "... and 1 more boards (all of them: the JSON or CSV report)";
    for (const std::string& text : {Render(WriteReportText, m), Render(WriteReportHtml, m)}) {
        EXPECT_NE(text.find(shown), std::string::npos);
        EXPECT_EQ(text.find(last), std::string::npos);
        EXPECT_NE(text.find(rest), std::string::npos);
    }
    EXPECT_EQ(CsvRecords(Csv(m, "repair")).size(), kHeadRows + 2);  // and its header
    nlohmann::json j = nlohmann::json::parse(Render(WriteReportJson, m));
    EXPECT_EQ(j["repair_queue"].size(), kHeadRows + 1);
}
