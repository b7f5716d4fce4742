// The command line as a script uses it: exit statuses, the one summary line, files written.
#include <gtest/gtest.h>

#include <ctime>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define YIELD_TEST_ASAN 1
#endif
#endif
#ifndef YIELD_TEST_ASAN
#define YIELD_TEST_ASAN 0
#endif

#include "cli/commands.h"
#include "report/reportSelection.h"
#include "store/openStore.h"
#include "testSupport.h"

namespace fs = std::filesystem;
using yieldtest::Q;
using yieldtest::Result;
using yieldtest::TempDir;
using yieldtest::Tool;

TEST(Cli, IngestReportBoardExportAsAScriptSeesThem) {
    TempDir tmp;
    std::string db = "--db " + Q(tmp.path() / "y.db");
    Result ingest = Tool("ingest " + db + " " + Q(YIELD_GOLDEN_DIR));
    ASSERT_EQ(ingest.status, 0) << ingest.out;
    EXPECT_EQ(ingest.out.find('\r'), std::string::npos);  // no progress when not on a terminal
    EXPECT_NE(ingest.out.find("runs new, 0 replaced"), std::string::npos) << ingest.out;
    EXPECT_NE(ingest.out.find("expected.json: not a trace log"), std::string::npos);

    Result json = Tool("report " + db + " --format json");
    ASSERT_EQ(json.status, 0);
    nlohmann::json j = nlohmann::json::parse(json.out);
    EXPECT_EQ(j["summary"]["boards"], 1);
    EXPECT_GE(j["summary"]["runs"].get<int>(), 9);
    EXPECT_EQ(j["pareto"][0]["port"], "RS232-1");  // cut pair twice (plain and forged host)

    fs::path html = tmp.path() / "r.html";
    ASSERT_EQ(Tool("report " + db + " --format html -o " + Q(html)).status, 0);
    std::string page = yieldtest::ReadAll(html);
    EXPECT_NE(page.find("bench&quot;;touch pwned;&quot;"), std::string::npos);
    EXPECT_EQ(page.find("bench\";touch"), std::string::npos);

    Result board = Tool("board " + db + " 0x1A2B3C4D");
    EXPECT_EQ(board.status, 0);
    EXPECT_NE(board.out.find("bench\\n5=[RtLog] Test Q7 OK!!!  failing RS232-1,RS232-2"),
              std::string::npos)
        << board.out;

    ASSERT_EQ(Tool("export " + db + " --format junit -o " + Q(tmp.path() / "junit")).status, 0);
    int files = 0;
    for (const auto& f : fs::directory_iterator(tmp.path() / "junit")) files += f.is_regular_file();
    EXPECT_EQ(files, j["summary"]["runs"].get<int>());
}

// CSV is one table per file: --table names it, -o FOLDER writes each; anything else is a usage
// error that lists the tables.
TEST(Cli, CsvReportIsOneTablePerFile) {
    TempDir tmp;
    std::string db = "--db " + Q(tmp.path() / "y.db");
    ASSERT_EQ(Tool("ingest " + db + " " + Q(YIELD_GOLDEN_DIR)).status, 0);
    const std::string names = "the tables: repair, repair_ports, summary, retest, pareto, fixture";
    const std::vector<std::string> wrongs = {"--format csv", "--format csv --table no",
                                             "--format csv -o " + Q(tmp.path() / "r.csv")};
    for (const std::string& wrong : wrongs) {
        Result r = Tool("report " + db + " " + wrong);
        EXPECT_EQ(r.status, yield::kExitUsage) << wrong;
        EXPECT_NE(r.out.find(names), std::string::npos) << r.out;
    }
    EXPECT_EQ(Tool("report " + db + " --format json --table pareto").status, yield::kExitUsage);

    Result pareto = Tool("report " + db + " --format csv --table pareto");
    ASSERT_EQ(pareto.status, 0) << pareto.out;
    EXPECT_EQ(pareto.out.find("port,failures,share,cumulative_share\r\nRS232-1,"), 0u)
        << pareto.out;
    fs::path summary = tmp.path() / "summary-only.csv";
    ASSERT_EQ(Tool("report " + db + " --format csv --table summary -o " + Q(summary)).status, 0);
    EXPECT_EQ(yieldtest::ReadAll(summary).find("boards,first_passed,"), 0u);

    fs::path folder = tmp.path() / "tables";
    Result all = Tool("report " + db + " --format csv -o " + Q(folder / ""));
    ASSERT_EQ(all.status, 0) << all.out;
    int files = 0;
    for (const auto& f : fs::directory_iterator(folder)) {
        ++files;
        EXPECT_EQ(f.path().extension(), ".csv");
        EXPECT_NE(all.out.find("report: wrote " + f.path().string() + "\n"), std::string::npos)
            << all.out;
    }
    EXPECT_GE(files, 7);
    EXPECT_EQ(yieldtest::ReadAll(folder / "pareto.csv"), pareto.out);
    // An existing folder without the slash is a folder too.
    fs::remove(folder / "day.csv");
    EXPECT_EQ(Tool("report " + db + " --format csv --table day -o " + Q(folder)).status, 0);
    EXPECT_TRUE(fs::exists(folder / "day.csv"));
}

TEST(Cli, DocumentedExitStatuses) {
    TempDir tmp;
    std::string db = "--db " + Q(tmp.path() / "y.db");
    EXPECT_EQ(Tool("--help").status, 0);
    EXPECT_EQ(Tool("report --help").status, 0);
    EXPECT_EQ(Tool("").status, 2);
    EXPECT_EQ(Tool("report --format pdf").status, 2);
    EXPECT_EQ(Tool("report --since yesterday").status, 2);
    EXPECT_EQ(Tool("report --since 2026-13-45").status, 2);
    for (const char* day : {"2026-02-31", "2026-02-29", "2100-02-29", "2026-04-31", "2026-00-10"})
        EXPECT_EQ(Tool("report " + db + " --until " + day).status, 2) << day;
    for (const char* day : {"2024-02-29", "2000-02-29", "2026-12-31"})  // days: the db is missing
        EXPECT_EQ(Tool("report " + db + " --since " + day).status, 3) << day;
    EXPECT_EQ(Tool("report --since 2026-12-08 --until 2026-12-01").status, 2);
    for (const char* bad : {"--alarm-yield nan", "--alarm-yield 101", "--day 2026-02-30",
                            "--listen 127.0.0.1:65536", "--alarm-boards 0"})
        EXPECT_EQ(Tool("serve " + db + " " + bad).status, 2) << bad;
    EXPECT_EQ(Tool("export --since 2026-12-08 --until 2026-12-01 -o x").status, 2);
    EXPECT_EQ(Tool("report " + db).status, 3);  // no such database: not created by a report
    EXPECT_FALSE(fs::exists(tmp.path() / "y.db"));
    EXPECT_EQ(Tool("ingest --db " + Q(tmp.path() / "no/such/dir/y.db") + " .").status, 3);
    ASSERT_EQ(Tool("ingest " + db + " " + Q(yieldtest::GoldenFlashLog("standard"))).status, 0);
    EXPECT_EQ(Tool("board " + db + " 0xNOPE").status, 1);
    // An answer that cannot reach its reader is no answer.
    for (const char* answer : {"board 0x1A2B3C4D", "board 0x1A2B3C4D --format json", "problems",
                               "problems --format json", "report"})
        EXPECT_EQ(Tool(std::string(answer) + " " + db + " >/dev/full").status, 4) << answer;
    EXPECT_EQ(Tool("report " + db + " -o " + Q(tmp.path() / "no/such/dir/r.txt")).status, 4);
    yieldtest::WriteAll(tmp.path() / "file", "x");
    EXPECT_EQ(Tool("export " + db + " --format json -o " + Q(tmp.path() / "file")).status, 4);
}

// What the subcommand table gives each subcommand: --db with its default, the exit-status
// footer, and failure lines that name the subcommand.
TEST(Cli, EverySubcommandSharesTheDatabaseOptionAndItsFailureLines) {
    TempDir tmp;
    std::string missing = " --db " + Q(tmp.path() / "no/such/dir/y.db");
    const std::pair<std::string, std::string> kCommands[] = {
        {"ingest", " ."},  {"report", ""},
        {"board", " 0x1"}, {"export", " --format json -o " + Q(tmp.path() / "out")},
        {"problems", ""},  {"dispose", " 0x1 --as repaired --by ana"}};
    for (const auto& [name, args] : kCommands) {
        Result help = Tool(name + " --help");
        EXPECT_EQ(help.status, 0) << name;
        EXPECT_NE(help.out.find("--db TEXT=devuzeV7-yield.db (Env:DEVUZE_YIELD_DB)"),
                  std::string::npos)
            << name;
        EXPECT_NE(help.out.find("Exit status: 0 done;"), std::string::npos) << name;
        Result failed = Tool(name + missing + args);
        EXPECT_EQ(failed.status, yield::kExitDatabase) << name;
        EXPECT_EQ(failed.out.rfind("devuzeV7-yield " + name + ": cannot open database", 0), 0u)
            << failed.out;
    }
}

// Port names and the stamp come from the board: `board` shows them, escapes and all, as text.
TEST(Cli, BoardPrintsNoTerminalControlFromALog) {
    TempDir tmp;
    fs::path path = tmp.path() / "y.db";
    {
        auto store = yield::OpenStore(path.string(), true);
        yield::RunRecord run;
        run.host = "h";
        run.chipId = "0x1";
        run.timeStamp = "2026_01_01\x1b[2J";
        run.verdict = yield::Verdict::Err;
        run.ports.push_back(yield::PortResult{"RS232\x1b]0;pwned\x07", 1, false, false});
        store->Begin();
        store->PutRun(run, yield::SourceFile{"/in/a.log", 1, 1});
        store->Commit();
    }
    Result board = Tool("board --db " + Q(path) + " 0x1");
    ASSERT_EQ(board.status, 0);
    EXPECT_EQ(board.out.find('\x1b'), std::string::npos);
    EXPECT_NE(board.out.find("2026_01_01\\x1B[2J"), std::string::npos) << board.out;
    EXPECT_NE(board.out.find("failing RS232\\x1B]0;pwned\\x07-1"), std::string::npos);
}

// A run too big for the memory the report may take ends the report with one line and status 5,
// and the earlier report stays. (Under a sanitizer the limit on address space cannot be set.)
TEST(Cli, OutOfMemoryEndsWithOneLineAndKeepsTheEarlierReport) {
#if defined(__SANITIZE_ADDRESS__) || YIELD_TEST_ASAN
    GTEST_SKIP() << "address space limits do not apply under the address sanitizer";
#endif
    TempDir tmp;
    fs::path dbPath = tmp.path() / "y.db";
    {
        auto store = yield::OpenStore(dbPath.string(), true);
        yield::RunRecord run;
        run.host = std::string(40 << 20, 'h');  // stored before the ingest bounded names
        run.chipId = "0x1";
        run.timeStamp = "2026_01_01_00_00_00";
        run.verdict = yield::Verdict::Ok;
        run.ports = {yield::PortResult{"DO", 1, true, false}};
        store->Begin();
        store->PutRun(run, yield::SourceFile{(tmp.path() / "a.log").string(), 1, 1});
        store->Commit();
    }
    fs::path out = tmp.path() / "r.json";
    yieldtest::WriteAll(out, "earlier\n");
    Result r =
        Tool("report --db " + Q(dbPath) + " --format json -o " + Q(out), "ulimit -v 100000;");
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.out, yield::kOutOfMemory);
    EXPECT_EQ(yieldtest::ReadAll(out), "earlier\n");
    int files = 0;
    for (const auto& f : fs::directory_iterator(tmp.path())) files += f.is_regular_file();
    EXPECT_EQ(files, 2);  // the database and the earlier report, no half file
}

TEST(Cli, RunCutToBoundsIsNotedAndStored) {
    TempDir tmp;
    std::string log = yieldtest::ReadAll(yieldtest::GoldenFlashLog("standard"));
    log.replace(log.find("hostname:bench1") + 9, 6, std::string(1 << 20, 'h'));
    yieldtest::WriteAll(tmp.path() / "logs" / "long.log", log);
    std::string db = "--db " + Q(tmp.path() / "y.db");
    Result ingest = Tool("ingest " + db + " " + Q(tmp.path() / "logs"));
    EXPECT_EQ(ingest.status, 0);
    EXPECT_NE(ingest.out.find("noted " + (tmp.path() / "logs" / "long.log").string() +
                              ": stored cut to bounds: host name of 1048576 bytes shortened"),
              std::string::npos)
        << ingest.out;
    EXPECT_NE(ingest.out.find("1 runs new"), std::string::npos);
    EXPECT_NE(Tool("--help", "COLUMNS=200 ").out.find("5 memory ran out"), std::string::npos);
}

// A filter, a processor ID or a path that names nothing ends with status 1 and says so; the same
// commands without a filter still report an empty result.
TEST(Cli, WhatNamesNothingEndsWithStatusOne) {
    TempDir tmp;
    std::string db = "--db " + Q(tmp.path() / "y.db");
    Result ingest = Tool("ingest " + db + " " + Q(yieldtest::GoldenFlashLog("standard")) + " " +
                         Q(tmp.path() / "gone"));
    EXPECT_EQ(ingest.status, yield::kExitNotFound);
    EXPECT_NE(ingest.out.find("1 runs new"), std::string::npos) << ingest.out;  // the rest stored
    // What there is, named beside what was asked.
    const std::pair<const char*, const char*> kEmpty[] = {
        {"--host nope", "; the hosts stored: bench1"},
        {"--station fixture-a", "; the stations stored: bench1"},
        {"--since 2030-01-01", "; the days stored: 2026-12-07 to 2026-12-07"},
        {"--until 2000-01-01", "; the days stored: 2026-12-07 to 2026-12-07"}};
    for (const auto& [filter, there] : kEmpty) {
        Result report = Tool("report " + db + " " + filter);
        EXPECT_EQ(report.status, yield::kExitNotFound) << filter;
        EXPECT_EQ(report.out, std::string("devuzeV7-yield report: no stored run matches ") +
                                  filter + there + "\n");
    }
    fs::path out = tmp.path() / "out";
    EXPECT_EQ(Tool("export " + db + " --format json --host nope -o " + Q(out)).status,
              yield::kExitNotFound);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(Tool("report " + db + " --host bench1").status, 0);
    EXPECT_EQ(Tool("export " + db + " --format json --host bench1 -o " + Q(out)).status, 0);

    TempDir empty;
    std::string emptyDb = "--db " + Q(empty.path() / "e.db");
    ASSERT_EQ(Tool("ingest " + emptyDb + " " + Q(empty.path())).status, 0);
    EXPECT_EQ(Tool("report " + emptyDb).status, 0);
    EXPECT_EQ(Tool("report " + emptyDb + " --host bench1").status, yield::kExitNotFound);

    for (const char* id : {"0x1A2B3C4D", "1a2b3c4d", "0X1A2B3C4D", "0x1a2b3C4d"}) {
        Result board = Tool("board " + db + " " + id);
        EXPECT_EQ(board.status, 0) << id;
        EXPECT_EQ(board.out.rfind("processor ID 0x1A2B3C4D: 1 run(s)", 0), 0u) << board.out;
    }
    EXPECT_EQ(Tool("board " + db + " 1a2b3c4").status, yield::kExitNotFound);
}

// --version, the database from DEVUZE_YIELD_DB unless --db names one, and help that fits the
// terminal and gives each subcommand only the exit statuses it can end with.
TEST(Cli, VersionDatabaseVariableAndHelpLayout) {
    Result version = Tool("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("devuzeV7-yield ") + YIELD_VERSION + "\n");

    TempDir tmp;
    std::string log = Q(yieldtest::GoldenFlashLog("standard"));
    std::string env = "DEVUZE_YIELD_DB=" + Q(tmp.path() / "env.db") + " ";
    ASSERT_EQ(Tool("ingest " + log, env).status, 0);
    EXPECT_TRUE(fs::exists(tmp.path() / "env.db"));
    EXPECT_EQ(Tool("board 0x1A2B3C4D", env).status, 0);
    ASSERT_EQ(Tool("ingest --db " + Q(tmp.path() / "flag.db") + " " + log, env).status, 0);
    EXPECT_TRUE(fs::exists(tmp.path() / "flag.db"));

    for (const char* name : {"", "ingest", "report", "board", "export"}) {
        Result help = Tool(std::string(name) + " --help", "COLUMNS=60 ");
        EXPECT_EQ(help.status, 0) << name;
        std::istringstream lines(help.out);
        std::string line;
        while (std::getline(lines, line)) EXPECT_LE(line.size(), 60u) << name << ": " << line;
    }
    std::string ingest = Tool("ingest --help", "COLUMNS=200 ").out;
    std::string board = Tool("board --help", "COLUMNS=200 ").out;
    std::string report = Tool("report --help", "COLUMNS=200 ").out;
    EXPECT_NE(ingest.find("Examples:\n  devuzeV7-yield ingest"), std::string::npos) << ingest;
    EXPECT_NE(ingest.find("1 a path given does not exist"), std::string::npos);
    EXPECT_EQ(ingest.find("4 an output file"), std::string::npos);
    EXPECT_NE(board.find("1 no run of that processor ID"), std::string::npos);
    EXPECT_NE(board.find("4 an output file"), std::string::npos);  // standard output, full
    EXPECT_EQ(board.find("an ingest keeps"), std::string::npos);
    EXPECT_NE(report.find("1 --since, --until, --host or --station selects no run"),
              std::string::npos);
    EXPECT_NE(report.find("4 an output file"), std::string::npos);
}

// Problem files as a person and a script see them: the reason, the retry rule by role, and a path
// from the disk printed without its control characters.
TEST(Cli, ProblemsListsEachFileWithItsRetry) {
    TempDir tmp;
    fs::path path = tmp.path() / "y.db";
    {
        auto store = yield::OpenStore(path.string(), true);
        store->Begin();
        store->PutProblem(yield::SourceFile{"/in/a\x1b[2J.log", 0, 1}, "empty file", false);
        store->PutProblem(yield::SourceFile{"/in/b.log", 7, 1}, "cannot read", true);
        store->Commit();
    }
    Result text = Tool("problems --db " + Q(path));
    ASSERT_EQ(text.status, 0);
    EXPECT_EQ(text.out.find('\x1b'), std::string::npos);
    EXPECT_NE(text.out.find("2 problem file(s)\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("/in/a\\x1B[2J.log  (0 bytes)  empty file; retried when its size"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("/in/b.log  (7 bytes)  cannot read; retried at the next ingest"),
              std::string::npos);

    nlohmann::json j = nlohmann::json::parse(Tool("problems --format json --db " + Q(path)).out);
    ASSERT_EQ(j["problems"].size(), 2u);
    EXPECT_EQ(j["problems"][0]["path"], "/in/a\x1b[2J.log");
    EXPECT_EQ(j["problems"][0]["retried_at_next_ingest"], false);
    EXPECT_EQ(j["problems"][1]["size"], 7);
    EXPECT_EQ(j["problems"][1]["retried_at_next_ingest"], true);
}

TEST(Cli, BoardAsJsonGivesEachRunWithItsFailuresAndFiles) {
    TempDir tmp;
    std::string db = "--db " + Q(tmp.path() / "y.db");
    ASSERT_EQ(Tool("ingest " + db + " --station line-3 " + Q(YIELD_GOLDEN_DIR)).status, 0);
    Result text = Tool("board " + db + " 0x1A2B3C4D");
    EXPECT_NE(text.out.find(" station line-3 "), std::string::npos) << text.out;
    EXPECT_EQ(Tool("board " + db + " 0x1A2B3C4D --format text").out, text.out);
    Result out = Tool("board " + db + " 0x1A2B3C4D --format json");
    ASSERT_EQ(out.status, 0);
    nlohmann::json j = nlohmann::json::parse(out.out);
    EXPECT_EQ(j["chip_id"], "0x1A2B3C4D");
    const nlohmann::json& runs = j["runs"];
    ASSERT_GE(runs.size(), 9u);
    EXPECT_GT(runs[0]["start_stamp"], runs[1]["start_stamp"]);  // newest first
    EXPECT_EQ(runs[0]["start"].get<std::string>().find('T'), 10u);
    const nlohmann::json* cut = nullptr;
    for (const nlohmann::json& r : runs) {
        if (r["host"] == "bench1" && !r["failing"].empty() && r["failing"][0]["port"] == "RS232-1")
            cut = &r;
    }
    ASSERT_NE(cut, nullptr) << out.out;
    EXPECT_EQ((*cut)["verdict"], "ERR");
    const nlohmann::json& port = (*cut)["failing"][0];
    ASSERT_FALSE(port["values"].empty());
    EXPECT_EQ(port["values"][0]["outcome"], "fail");
    for (const nlohmann::json& v : port["values"])
        EXPECT_TRUE(v["value"].is_number() && v["text"].is_string()) << v;
    EXPECT_EQ((*cut)["station"], "line-3");
    EXPECT_EQ((*cut)["files"][0]["sha256"].get<std::string>().size(), 64u);
    ASSERT_FALSE(port["log"].empty());
    EXPECT_NE(port["log"][0].get<std::string>().find("Read RS232-1 Error!"), std::string::npos);
    const nlohmann::json& cause = (*cut)["failures"][0];  // what failed it, a cause a port
    EXPECT_EQ(cause["ports"], nlohmann::json::array({"RS232-1"}));
    EXPECT_EQ(cause["expected"], 32);
    EXPECT_EQ(cause["value"], 0);
    EXPECT_EQ((*cut)["files"][0]["role"], "kept");
    EXPECT_GE((*cut)["files"].size(), 2u);
}

namespace {
std::set<std::string> Names(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& f : fs::directory_iterator(dir)) names.insert(f.path().filename().string());
    return names;
}
}  // namespace

// Files named from each run's key: two databases filled in different orders name them alike, and
// exporting again replaces them and says so.
TEST(Cli, ExportNamesFilesByTheRunsKeyAndReplacesThem) {
    TempDir tmp;
    std::string db1 = "--db " + Q(tmp.path() / "1.db"), db2 = "--db " + Q(tmp.path() / "2.db");
    std::string later = Q(fs::path(YIELD_GOLDEN_DIR) / "usb-none");
    ASSERT_EQ(Tool("ingest " + db1 + " " + Q(YIELD_GOLDEN_DIR)).status, 0);
    ASSERT_EQ(Tool("ingest " + db2 + " " + later).status, 0);
    ASSERT_EQ(Tool("ingest " + db2 + " " + Q(YIELD_GOLDEN_DIR)).status, 0);
    fs::path one = tmp.path() / "one", two = tmp.path() / "two";
    Result first = Tool("export " + db1 + " --format json -o " + Q(one));
    ASSERT_EQ(first.status, 0);
    EXPECT_NE(first.out.find(", 0 replaced"), std::string::npos) << first.out;
    ASSERT_EQ(Tool("export " + db2 + " --format json -o " + Q(two)).status, 0);
    EXPECT_EQ(Names(one), Names(two));

    Result again = Tool("export " + db2 + " --format json -o " + Q(one));
    std::string count = std::to_string(Names(two).size());
    EXPECT_NE(
        again.out.find(count + " json file(s) in " + one.string() + ", " + count + " replaced"),
        std::string::npos)
        << again.out;

    // An --id is found as board finds it; one without a run is named, the others exported.
    fs::path some = tmp.path() / "some";
    Result partly = Tool("export " + db1 +
                         " --format json --id 1a2b3c4d --id 0xNONE --host bench1 -o " + Q(some));
    EXPECT_EQ(partly.status, 1);
    EXPECT_NE(partly.out.find("export: no run of processor ID 0xNONE\n"), std::string::npos)
        << partly.out;
    size_t bench1 = Names(some).size();
    EXPECT_GT(bench1, 0u);
    EXPECT_LT(bench1, Names(one).size());  // the forged host names are not bench1
    // An ID that selects nothing is a typo, as with board: status 1 and no folder.
    EXPECT_EQ(
        Tool("export " + db1 + " --format json --id 0xNONE -o " + Q(tmp.path() / "none")).status,
        1);
    EXPECT_FALSE(fs::exists(tmp.path() / "none"));
}

// --today and --days pick recent days and conflict with --since and --until; the report names
// its selection, the time SOURCE_DATE_EPOCH gives and the database.
TEST(Cli, ReportNamesItsSelectionTimeAndDatabase) {
    TempDir tmp;
    std::string dbPath = (tmp.path() / "y.db").string();
    std::string db = "--db " + Q(dbPath);
    ASSERT_EQ(Tool("ingest " + db + " " + Q(yieldtest::GoldenFlashLog("standard"))).status, 0);
    for (const char* wrong : {"--today --since 2026-12-01", "--days 2 --until 2026-12-01",
                              "--today --days 2", "--days 0", "--days 36501", "--days 1e3"}) {
        EXPECT_EQ(Tool("report " + db + " " + wrong).status, yield::kExitUsage) << wrong;
    }
    EXPECT_EQ(Tool("report " + db + " --days 0").out,
              "devuzeV7-yield report: --days: not a whole number from 1 to 36500: 0\n");
    EXPECT_EQ(Tool("report " + db, "SOURCE_DATE_EPOCH=soon ").status, yield::kExitUsage);

    Result json = Tool("report " + db + " --format json --days 36500", "SOURCE_DATE_EPOCH=0 ");
    ASSERT_EQ(json.status, 0) << json.out;
    nlohmann::json sel = nlohmann::json::parse(json.out)["selection"];
    EXPECT_EQ(sel["made_at"], "1970-01-01T00:00:00Z");
    EXPECT_EQ(sel["database"], dbPath);
    EXPECT_EQ(sel["until"], yield::LocalDay(std::time(nullptr)));
    EXPECT_EQ(sel["first_day"], "2026-12-07");

    Result text = Tool("report " + db, "SOURCE_DATE_EPOCH=0 ");
    ASSERT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("\nSelection: all runs\nDays present: 2026-12-07 to 2026-12-07\n"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("\nDatabase: " + dbPath + "\n"), std::string::npos);
    EXPECT_NE(text.out.find("first_pass_yield: "), std::string::npos);
}

// A slip of a subcommand or an option is named with the valid one it most likely meant, and a
// help example keeps a quoted argument on one line.
TEST(Cli, MistypedNamesAreNamedWithTheNearestValidOne) {
    Result sub = Tool("reprot");
    EXPECT_EQ(sub.status, yield::kExitUsage);
    EXPECT_EQ(sub.out,
              "devuzeV7-yield: unknown subcommand 'reprot'; did you mean 'report'? "
              "(see --help)\n");
    Result option = Tool("report --sinse 2026-12-01");
    EXPECT_EQ(option.status, yield::kExitUsage);
    EXPECT_EQ(option.out,
              "devuzeV7-yield report: unknown option '--sinse'; did you mean "
              "'--since'? (see --help)\n");
    EXPECT_EQ(Tool("frobnicate").out,
              "devuzeV7-yield: unknown subcommand 'frobnicate' (see --help)\n");
    for (int columns : {40, 60, 80, 100}) {
        std::string help = Tool("serve --help", "COLUMNS=" + std::to_string(columns) + " ").out;
        EXPECT_NE(help.find("'/usr/local/bin/page line-lead'"), std::string::npos) << help;
    }
}

// A board whose clock was never set: its run is flagged at ingest, listed by the report and
// counted on the day its file arrived, so the trends stay per day.
TEST(Cli, AnUnsetClockIsFlaggedAndCountedOnItsArrivalDay) {
    TempDir tmp;
    fs::path standard = yieldtest::GoldenFlashLog("standard");
    std::string log = yieldtest::ReadAll(standard);
    const std::string stamp = "2026_12_07_12_00_51";
    for (size_t at = log.find(stamp); at != std::string::npos; at = log.find(stamp, at))
        log.replace(at, stamp.size(), "1970_01_01_00_00_51");
    fs::path unset = tmp.path() / "deVuzeV7_bench1[0x0BAD]_1970_01_01_00_00_51[OK].log";
    std::string text = log;
    for (size_t at = text.find("0x1A2B3C4D"); at != std::string::npos;
         at = text.find("0x1A2B3C4D", at))
        text.replace(at, 10, "0x0BAD");
    { std::ofstream(unset) << text; }
    ASSERT_EQ(yieldtest::Shell("touch -d '2026-12-07 15:00' " + Q(unset)).status, 0);

    std::string db = "--db " + Q(tmp.path() / "y.db");
    Result ingest = Tool("ingest " + db + " " + Q(standard) + " " + Q(unset));
    ASSERT_EQ(ingest.status, 0) << ingest.out;
    EXPECT_NE(ingest.out.find("2 runs new"), std::string::npos) << ingest.out;
    EXPECT_NE(ingest.out.find(", 1 runs with an unset clock"), std::string::npos) << ingest.out;

    nlohmann::json j = nlohmann::json::parse(Tool("report " + db + " --format json").out);
    EXPECT_EQ(j["selection"]["clock_unset_runs"], 1);
    EXPECT_EQ(j["selection"]["trend_period"], "day");
    EXPECT_EQ(j["selection"]["first_day"], "2026-12-07");
    ASSERT_EQ(j["clock_unset"].size(), 1u);
    EXPECT_EQ(j["clock_unset"][0]["chip_id"], "0x0BAD");
    EXPECT_EQ(j["clock_unset"][0]["start_stamp"], "1970_01_01_00_00_51");
    EXPECT_EQ(j["clock_unset"][0]["arrival_day"], "2026-12-07");
    nlohmann::json day = nlohmann::json::parse(
        Tool("report " + db + " --since 2026-12-07 --until 2026-12-07 --format json").out);
    EXPECT_EQ(day["summary"]["boards"], 2);
    std::string people = Tool("report " + db).out;
    EXPECT_NE(people.find("Unset clocks"), std::string::npos) << people;
}
