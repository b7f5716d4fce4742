#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

#include "ingest/ingest.h"
#include "parse/logParser.h"
#include "report/readReport.h"
#include "report/reportModel.h"
#include "report/reportWriters.h"
#include "store/openStore.h"
#include "store/sqlText.h"
#include "testDb.h"
#include "testSupport.h"

namespace fs = std::filesystem;
using namespace yield;
using yieldtest::ReadAll;
using yieldtest::TempDir;
using yieldtest::TestDb;
using yieldtest::WriteAll;

namespace {

#ifndef YIELD_PG_HOST
IngestStats IngestPaths(const fs::path& db, const std::vector<std::string>& paths) {
    auto store = OpenStore(db.string(), true);
    return Ingest(*store, paths, nullptr);
}
#endif

std::string Kept(RunStore& store, long long id) {
    for (const SourceRow& s : store.SourcesOf(id)) {
        if (s.role == "kept") return s.path;
    }
    return "";
}

using Rows = std::vector<std::string>;

// "ROLE PATH" of each file of the standard log's run, in the store's order.
Rows StandardRunFiles(TestDb& db) {
    auto store = OpenStore(db.Url(), false);
    Rows rows;
    for (const SourceRow& s : store->SourcesOf(store->RunIdsOfChip("0x1A2B3C4D").at(0)))
        rows.push_back(s.role + " " + s.path);
    return rows;
}

// Each case on a fresh database of the engine this test program is for.
class StoreTest : public ::testing::Test {
protected:
    static std::unique_ptr<TestDb> NewDb() { return TestDb::Make(YIELD_TEST_ENGINE); }
    static IngestStats IngestInto(TestDb& db, const std::vector<std::string>& paths) {
        auto store = OpenStore(db.Url(), true);
        return Ingest(*store, paths, nullptr);
    }
    std::unique_ptr<TestDb> db_ = NewDb();
};

}  // namespace

TEST_F(StoreTest, IngestingTheSameFoldersTwiceChangesNothing) {
    TempDir tmp;
    IngestStats first = IngestInto(*db_, {YIELD_GOLDEN_DIR});
    EXPECT_GT(first.runsNew, 5);
    EXPECT_GT(first.copies, first.runsNew);
    std::string before = db_->Dump();
    std::string runsBefore = db_->Dump(false);
    IngestStats again = IngestInto(*db_, {YIELD_GOLDEN_DIR});
    EXPECT_EQ(again.runsNew + again.replaced + again.copies, 0);
    EXPECT_EQ(db_->Dump(), before);

    // Copied elsewhere with fresh times: only new source rows, the runs stay as they were.
    fs::copy(fs::path(YIELD_GOLDEN_DIR) / "standard", tmp.path() / "stick",
             fs::copy_options::recursive);
    IngestStats copies = IngestInto(*db_, {(tmp.path() / "stick").string()});
    EXPECT_EQ(copies.runsNew + copies.replaced, 0);
    EXPECT_GT(copies.copies, 0);
    EXPECT_EQ(db_->Dump(false), runsBefore);
}

TEST_F(StoreTest, SameRunInSeveralCopiesIsOneRunWithItsFiles) {
    IngestInto(*db_, {(fs::path(YIELD_GOLDEN_DIR) / "dio-stuck-di5-0").string()});
    auto store = OpenStore(db_->Url(), false);
    std::vector<long long> ids = store->RunIdsOfChip("0x1A2B3C4D");
    ASSERT_EQ(ids.size(), 1u);
    std::vector<SourceRow> sources = store->SourcesOf(ids[0]);
    EXPECT_EQ(sources.size(), 4u);
    EXPECT_EQ(std::count_if(sources.begin(), sources.end(),
                            [](const SourceRow& s) { return s.role == "kept"; }),
              1);
    RunRecord run = store->LoadRun(ids[0]);
    EXPECT_EQ(run.verdict, Verdict::Err);
    EXPECT_EQ(run.FailingPorts(), std::vector<std::string>{"DI-5"});
    EXPECT_FALSE(run.measurements.empty());
    EXPECT_FALSE(run.failures.empty());
}

// A processor ID as typed: any case, with or without 0x; an ID that only shares digits is not one.
TEST_F(StoreTest, ChipIdsLikeIgnoreCaseAndTheHexPrefix) {
    {
        auto store = OpenStore(db_->Url(), true);
        store->Begin();
        for (const char* chip : {"0x1A2B3C4D", "1a2b3c4d", "0x1A2B3C4DD", "0xAB"}) {
            RunRecord run;
            run.host = "h";
            run.chipId = chip;
            run.timeStamp = "2026_01_01_00_00_00";
            store->PutRun(run, SourceFile{std::string("/in/") + chip, 1, 1});
        }
        store->Commit();
    }
    auto store = OpenStore(db_->Url(), false);
    const std::vector<std::string> kBoth = {"0x1A2B3C4D", "1a2b3c4d"};
    EXPECT_EQ(store->ChipIdsLike("1a2b3c4d"), kBoth);
    EXPECT_EQ(store->ChipIdsLike("1A2B3C4D"), kBoth);
    EXPECT_EQ(store->ChipIdsLike("ab"), std::vector<std::string>{"0xAB"});
    EXPECT_TRUE(store->ChipIdsLike("1a2b3c4").empty());
    EXPECT_TRUE(store->ChipIdsLike("0x1a2b3c4d").empty());  // the caller strips the prefix
}

TEST_F(StoreTest, ShortCopyNeverReplacesAWholeOne) {
    TempDir tmp;
    std::string whole = yieldtest::ReadAll(yieldtest::GoldenFlashLog("standard"));
    fs::path wholePath = tmp.path() / "a" / "whole.log";
    fs::path shortPath = tmp.path() / "b" / "pulled.log";
    yieldtest::WriteAll(wholePath, whole);
    yieldtest::WriteAll(shortPath, whole.substr(0, whole.size() / 2));

    // Whole first, then the short copy: the whole one stays.
    auto db1 = NewDb();
    IngestInto(*db1, {wholePath.string()});
    IngestStats s1 = IngestInto(*db1, {shortPath.string()});
    EXPECT_EQ(s1.copies, 1);
    // Short first, then the whole copy: the whole one takes over.
    auto db2 = NewDb();
    IngestInto(*db2, {shortPath.string()});
    IngestStats s2 = IngestInto(*db2, {wholePath.string()});
    EXPECT_EQ(s2.replaced, 1);
    IngestInto(*db2, {shortPath.string()});

    for (TestDb* db : {db1.get(), db2.get()}) {
        auto store = OpenStore(db->Url(), false);
        std::vector<long long> ids = store->RunIdsOfChip("0x1A2B3C4D");
        ASSERT_EQ(ids.size(), 1u);
        EXPECT_EQ(store->LoadRun(ids[0]).verdict, Verdict::Ok);
        EXPECT_EQ(Kept(*store, ids[0]), wholePath.string());
        EXPECT_EQ(store->SourcesOf(ids[0]).size(), 2u);
    }
    EXPECT_EQ(db1->Dump(false), db2->Dump(false));
}

// A kept file renamed (a copy made under a hidden name, then renamed), or gone while a copy of it
// lies elsewhere: the copy found becomes the kept file and the gone path's row goes; a shorter
// copy never does.
TEST_F(StoreTest, ACopyTakesThePlaceOfAKeptFileThatIsGone) {
    TempDir tmp;
    std::string whole = yieldtest::ReadAll(yieldtest::GoldenFlashLog("standard"));
    fs::path pile = tmp.path() / "pile";
    yieldtest::WriteAll(pile / ".run.log.Xa91", whole);
    yieldtest::WriteAll(pile / "cut.log", whole.substr(0, whole.size() / 2));
    yieldtest::WriteAll(pile / "stick" / "run.log", whole);
    IngestInto(*db_, {pile.string()});
    fs::rename(pile / ".run.log.Xa91", pile / "run.log");
    EXPECT_EQ(IngestInto(*db_, {pile.string()}).replaced, 1);
    const std::string cut = "copy " + (pile / "cut.log").string();
    EXPECT_EQ(StandardRunFiles(*db_), (Rows{"kept " + (pile / "run.log").string(), cut,
                                            "copy " + (pile / "stick" / "run.log").string()}));
    fs::remove(pile / "run.log");
    EXPECT_EQ(IngestInto(*db_, {pile.string()}).replaced, 1);
    EXPECT_EQ(StandardRunFiles(*db_), (Rows{"kept " + (pile / "stick" / "run.log").string(), cut}));
}

// Rows follow a renamed folder's files and a renamed file; a row at a path a rename replaced goes.
// A copy renamed over its run's kept file becomes the kept file when it is read again.
TEST_F(StoreTest, RowsFollowRenamedFilesAndFolders) {
    TempDir tmp;
    fs::path pile = tmp.path() / "pile";
    std::string whole = yieldtest::ReadAll(yieldtest::GoldenFlashLog("standard"));
    yieldtest::WriteAll(pile / "a" / "run.log", whole);
    yieldtest::WriteAll(pile / "a" / "notes.txt", "not a log");
    yieldtest::WriteAll(pile / "b.log", whole);
    yieldtest::WriteAll(pile / "ab.log", "not a log either");
    IngestInto(*db_, {pile.string()});
    auto move = [this](const fs::path& from, const fs::path& to) {
        fs::rename(from, to);
        IngestMoved(*OpenStore(db_->Url(), true), from.string(), to.string());
    };
    move(pile / "a", pile / "c");
    move(pile / "b.log", pile / "c" / "notes.txt");
    const std::string kept = "kept " + (pile / "c" / "run.log").string();
    EXPECT_EQ(StandardRunFiles(*db_), (Rows{kept, "copy " + (pile / "c" / "notes.txt").string()}));
    move(pile / "c" / "notes.txt", pile / "c" / "run.log");
    IngestInto(*db_, {pile.string()});
    EXPECT_EQ(StandardRunFiles(*db_), Rows{kept});
    EXPECT_EQ(OpenStore(db_->Url(), false)->ProblemFiles().at(0).path, (pile / "ab.log").string());
}

TEST_F(StoreTest, EmptyForeignAndMissingFilesAreListedNotFatal) {
    TempDir tmp;
    yieldtest::WriteAll(tmp.path() / "in" / "empty.log", "");
    yieldtest::WriteAll(tmp.path() / "in" / "notes.txt", "not a log\n");
    yieldtest::WriteAll(tmp.path() / "in" / "deep" / "er" / "renamed.txt",
                        yieldtest::ReadAll(yieldtest::GoldenFlashLog("usb-none")));
    IngestStats s = IngestInto(
        *db_, {(tmp.path() / "in").string(), (tmp.path() / "gone").string(), "/dev/null"});
    EXPECT_EQ(s.runsNew, 1);
    EXPECT_EQ(s.problems, 4);
    EXPECT_EQ(s.missing, 1);
    std::map<std::string, std::string> reasons(s.problemList.begin(), s.problemList.end());
    EXPECT_EQ(reasons[(tmp.path() / "in" / "empty.log").string()], "empty file");
    EXPECT_EQ(reasons[(tmp.path() / "in" / "notes.txt").string()], "not a trace log");
    EXPECT_EQ(reasons[(tmp.path() / "gone").string()], "no such file or folder");
    EXPECT_EQ(reasons["/dev/null"], "not a regular file");
    auto store = OpenStore(db_->Url(), false);
    EXPECT_EQ(store->ProblemFiles().size(), 3u);
}

// A board's host name and log can hold any byte: each text comes back exactly as it went in,
// whatever the engine accepts as text, and a number keeps every bit.
TEST_F(StoreTest, AnyBytesAndExtremeNumbersComeBackExactly) {
    std::string odd = std::string("a\0b\xff\xfe\t\\N\n\r\\") + "\xef\x9c\x80\xef\x9f\xbf" +
                      "\xed\xa0\x80\xc0\xaf\xf4\x90\x80\x80 \xe2\x82\xac|end";
    RunRecord run;
    run.host = "host" + odd;
    run.chipId = "0x" + odd;
    run.timeStamp = "2026_12_07_10_00_00";
    run.args = odd;
    run.resultDoc = "{\"x\":\"" + odd + "\"}";
    run.records = 7;
    run.bytes = (1LL << 40) + 3;
    run.verdict = Verdict::Err;
    run.hasVerdictCode = true;
    run.verdictCode = -2147483647 - 1;
    run.ports.push_back(PortResult{"RS232", 1, false, true});
    run.ports.push_back(PortResult{"RS232", 1, true, false});  // named twice: the first counts
    Measurement m;
    m.port = odd;
    m.name = "AI1";
    m.value = 0.1 + 0.2;
    m.unit = "V";
    m.hasLimits = true;
    m.low = -1e308;
    m.high = 4.9e-324;
    m.text = odd;
    m.line = odd;
    m.outcome = "fail";
    run.measurements.push_back(m);
    run.failures.push_back(FailureLine{3, odd, odd});
    SourceFile file{"/media/" + odd, 12345, 1765000000123456789LL};
    {
        auto store = OpenStore(db_->Url(), true);
        store->Begin();
        EXPECT_EQ(store->PutRun(run, file), PutOutcome::New);
        store->Commit();
    }
    auto store = OpenStore(db_->Url(), false);
    RunFilter byHost;
    byHost.host = run.host;
    std::vector<long long> ids = store->RunIds(byHost);
    ASSERT_EQ(ids.size(), 1u);
    RunRecord back = store->LoadRun(ids[0]);
    EXPECT_EQ(back.host, run.host);
    EXPECT_EQ(back.chipId, run.chipId);
    EXPECT_EQ(back.args, odd);
    EXPECT_EQ(back.resultDoc, run.resultDoc);
    EXPECT_EQ(back.bytes, run.bytes);
    EXPECT_EQ(back.verdictCode, run.verdictCode);
    ASSERT_EQ(back.ports.size(), 1u);
    EXPECT_TRUE(back.ports[0].intermittent);
    ASSERT_EQ(back.measurements.size(), 1u);
    EXPECT_EQ(back.measurements[0].port, odd);
    EXPECT_EQ(back.measurements[0].text, odd);
    EXPECT_EQ(back.measurements[0].line, odd);
    EXPECT_EQ(back.measurements[0].value, m.value);
    EXPECT_EQ(back.measurements[0].low, m.low);
    EXPECT_EQ(back.measurements[0].high, m.high);
    ASSERT_EQ(back.failures.size(), 1u);
    EXPECT_EQ(back.failures[0].line, odd);
    std::vector<SourceRow> sources = store->SourcesOf(ids[0]);
    ASSERT_EQ(sources.size(), 1u);
    EXPECT_EQ(sources[0].path, file.path);
    EXPECT_EQ(store->RunIdsOfChip(run.chipId), ids);
}

// A stamp that gives no day is in no day range: --since or --until leave its run out of the
// report and the export alike, and the report counts it; without day bounds it is in.
TEST_F(StoreTest, DayBoundsLeaveOutRunsWithoutADay) {
    {
        auto store = OpenStore(db_->Url(), true);
        store->Begin();
        int n = 0;
        for (const char* stamp : {"2026_01_05_10_00_00", "2026_01_20_10_00_00", "nodate", "x",
                                  "9999_99_99_00_00_00", "2026_13_45_10_00_00"}) {
            RunRecord run;
            run.host = n % 2 == 0 ? "h1" : "h2";
            run.chipId = "0x" + std::to_string(n);
            run.timeStamp = stamp;
            run.verdict = Verdict::Ok;
            Measurement m;
            m.name = "AI1";
            m.value = 1.6;
            m.unit = "V";
            run.measurements.push_back(m);
            store->PutRun(run, SourceFile{"/in/" + std::to_string(n++) + ".log", 1, 1});
        }
        store->Commit();
    }
    // A day an older ingest took from a stamp on no calendar goes at the next ingest.
    db_->Rows("UPDATE runs SET day = '2026-13-45' WHERE start_stamp = '2026_13_45_10_00_00'");
    ASSERT_EQ(db_->Count("SELECT count(*) FROM runs WHERE day = '2026-13-45'"), 1);
    OpenStore(db_->Url(), true);
    auto store = OpenStore(db_->Url(), false);
    RunFilter none, since, until, both, hostOnly;
    since.since = "2026-01-01";
    until.until = "2026-01-31";
    both.since = "2026-01-10";
    both.until = "2026-01-31";
    hostOnly.host = "h1";
    EXPECT_EQ(store->RunIds(none).size(), 6u);
    EXPECT_EQ(store->RunIds(since).size(), 2u);
    EXPECT_EQ(store->RunIds(until).size(), 2u);
    EXPECT_EQ(store->RunIds(both).size(), 1u);
    EXPECT_EQ(store->RunIds(hostOnly).size(), 3u);
    EXPECT_EQ(store->CountRunsWithoutDay(none), 4);
    EXPECT_EQ(store->CountRunsWithoutDay(hostOnly), 2);
    for (const RunFilter& f : {none, since, until, both, hostOnly}) {
        ReportModel m = BuildReport(f, ReportRowsOf(*store, f));
        EXPECT_EQ(m.summary.runs, static_cast<long long>(store->RunIds(f).size()));
        EXPECT_EQ(m.summary.noDayRuns, store->CountRunsWithoutDay(f));
        ASSERT_EQ(m.analogue.size(), 1u);
        EXPECT_EQ(m.analogue[0].count, m.summary.runs);
    }
}

// The repair queue's values come from the stored run, read back for the failed board alone.
TEST_F(StoreTest, RepairQueueQuotesTheStoredFailingValues) {
    IngestInto(*db_, {yieldtest::GoldenFlashLog("adc-boundaries").string()});
    auto store = OpenStore(db_->Url(), false);
    ReportModel m = BuildReport({}, ReportRowsOf(*store, {}));
    ASSERT_EQ(m.repairs.size(), 1u);
    EXPECT_EQ(m.repairs[0].chipId, "0x1A2B3C4D");
    EXPECT_EQ(m.repairs[0].station, "bench1");
    EXPECT_EQ(m.repairs[0].status, kRepairFailed);
    EXPECT_EQ(m.repairs[0].failures,
              "ADC-1 1.49 V, limits 1.5 to 1.7; ADC-4 1.71 V, limits 1.5 to 1.7");
}

// A report, board answer or export reads one snapshot: an ingest that commits meanwhile shows in
// the next command, not halfway through this one.
TEST_F(StoreTest, ReadingSeesOneSnapshotWhileAnIngestCommits) {
    IngestInto(*db_, {yieldtest::GoldenFlashLog("standard").string()});
    auto reader = OpenStore(db_->Url(), false);
    ASSERT_EQ(reader->RunIds({}).size(), 1u);
    IngestStats more = IngestInto(*db_, {YIELD_GOLDEN_DIR});
    ASSERT_GT(more.runsNew, 5);
    size_t runs = 0;
    reader->ForEachRun({}, [&](const RunSummary&) { ++runs; });
    EXPECT_EQ(runs, 1u);
    EXPECT_EQ(reader->RunIdsOfChip("0x1A2B3C4D").size(), 1u);
    EXPECT_EQ(OpenStore(db_->Url(), false)->RunIds({}).size(), 1u + more.runsNew);
}

namespace {

constexpr char kStandard[] = "standard";
const std::string kUpgradeHint = "older than this tool's " + std::to_string(sql::kSchemaVersion) +
                                 ": an ingest into it upgrades it";
const bool kSqlite = std::string(YIELD_TEST_ENGINE) == "sqlite";

// Takes a database back to schema version 1 as the tool wrote it: no station, no digests, no
// views, the old summary index.
void MakeVersion1(TestDb& db) {
    yieldtest::BackToVersionFour(db);
    db.Rows(
        "DROP VIEW v_dispositions; DROP VIEW v_repair_queue; DROP TABLE dispositions; DROP TABLE "
        "alarms;"
        " DROP VIEW v_measurements; DROP VIEW v_ports; DROP VIEW v_runs;"
        " DROP INDEX runs_fixture_summary; ALTER TABLE runs DROP COLUMN station;"
        " ALTER TABLE runs DROP COLUMN clock_unset;"
        " ALTER TABLE source_files DROP COLUMN sha256;"
        " DROP TABLE day_ports; DROP TABLE day_volts;"
        " CREATE INDEX runs_summary ON runs(id, host, chip_id, start_stamp, day, verdict)");
    db.Rows(kSqlite ? "PRAGMA user_version = 1"
                    : "DELETE FROM yield_schema; INSERT INTO yield_schema VALUES (1)");
}

RunRecord KeyedRun(const std::string& host, const std::string& stamp, const std::string& station) {
    RunRecord run;
    run.host = host;
    run.chipId = "0x" + std::to_string(std::hash<std::string>()(host + stamp) % 100000);
    run.timeStamp = stamp;
    run.station = station;
    run.verdict = Verdict::Ok;
    run.records = 5;
    return run;
}

std::vector<long long> SummaryIds(ReadStore& store, const RunFilter& filter) {
    std::vector<long long> ids;
    store.ForEachRun(filter, [&](const RunSummary& r) { ids.push_back(r.id); });
    return ids;
}

}  // namespace

// A database of version 2 (before the alarms) is upgraded by the server's alarm writer as by an
// ingest; an alarm's steps are each stored once, with who and why as they were given.
TEST_F(StoreTest, AlarmsUpgradeAVersionTwoDatabaseAndKeepEachStepOnce) {
    IngestInto(*db_, {(fs::path(YIELD_GOLDEN_DIR) / kStandard).string()});
    yieldtest::BackToVersionTwo(*db_);
    EXPECT_THROW(OpenStore(db_->Url(), false), StoreError);
    AlarmRow a;
    a.kind = kAlarmFlaggedPort;
    a.station = "fixture\xff C";
    a.ports = "RS232-3, RS232-4";
    a.boards = 12;
    a.portFailureRate = 0.25;
    a.raisedAt = "2026-12-07T08:00:00Z";
    auto writer = OpenUpgradeStore(db_->Url());
    const long long id = writer->RaiseAlarm(a);
    EXPECT_EQ(
        writer->TakeAlarmStep(id, AlarmStep::Acknowledge, {"ann", "re-seated \x01\xfe", "t1"}),
        AlarmStepOutcome::Taken);
    EXPECT_EQ(writer->TakeAlarmStep(id, AlarmStep::Acknowledge, {"bob", "", "t2"}),
              AlarmStepOutcome::AlreadyTaken);
    EXPECT_EQ(writer->LiveAlarms().size(), 1u);
    const std::string before = writer->AlarmsVersion();
    writer->EndAlarm(id, "t3");
    writer->EndAlarm(id, "t4");  // ended once
    EXPECT_EQ(writer->TakeAlarmStep(id, AlarmStep::Clear, {"bob", "done", "t5"}),
              AlarmStepOutcome::Taken);
    EXPECT_NE(writer->AlarmsVersion(), before);
    EXPECT_TRUE(writer->LiveAlarms().empty());
    EXPECT_EQ(writer->TakeAlarmStep(id + 1, AlarmStep::Clear, {"bob", "", "t6"}),
              AlarmStepOutcome::NoSuchAlarm);
    std::vector<AlarmRow> kept = OpenStore(db_->Url(), false)->AlarmHistory(10);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].station, a.station);
    EXPECT_EQ(kept[0].boards, 12);
    EXPECT_EQ(kept[0].portFailureRate, 0.25);
    EXPECT_FALSE(kept[0].firstPassYield.has_value());
    EXPECT_EQ(kept[0].acknowledgedBy + "|" + kept[0].acknowledgeNote + "|" + kept[0].endedAt,
              "ann|re-seated \x01\xfe|t3");
    EXPECT_EQ(kept[0].clearedBy + "|" + kept[0].clearNote + "|" + kept[0].clearedAt, "bob|done|t5");
}

TEST_F(StoreTest, VersionOneDatabaseIsRefusedByReadersAndUpgradedByTheFirstIngest) {
    std::string standard = (fs::path(YIELD_GOLDEN_DIR) / kStandard).string();
    IngestInto(*db_, {standard});
    const std::string runsQuery = "SELECT id, host, chip_id, start_stamp, verdict FROM runs";
    std::string runsBefore = db_->Rows(runsQuery + " ORDER BY id");
    MakeVersion1(*db_);
    try {
        OpenStore(db_->Url(), false);
        ADD_FAILURE() << "a reader opened a version 1 database";
    } catch (const StoreError& e) {
        EXPECT_NE(std::string(e.what()).find(kUpgradeHint), std::string::npos) << e.what();
    }
    // Two ingests at once: one upgrades, the other waits and finds it done.
    std::vector<std::string> errors(2);
    std::vector<std::thread> ingests;
    for (size_t i = 0; i < errors.size(); ++i) {
        ingests.emplace_back([&, i] {
            try {
                auto store = OpenStore(db_->Url(), true);
                Ingest(*store, {standard}, nullptr, {}, "fixture-A");
            } catch (const std::exception& e) {
                errors[i] = e.what();
            }
        });
    }
    for (std::thread& t : ingests) t.join();
    EXPECT_EQ(errors, std::vector<std::string>(2));
    EXPECT_EQ(db_->Rows(runsQuery + " ORDER BY id"), runsBefore);
    auto store = OpenStore(db_->Url(), false);
    std::vector<long long> ids = store->RunIds({});
    ASSERT_FALSE(ids.empty());
    // Runs stored without a station take the one their files bring, read again for it (one
    // file a run: the rest stay as they were, without a digest).
    for (long long id : ids) {
        EXPECT_EQ(store->LoadRun(id).station, "fixture-A");
        std::vector<SourceRow> sources = store->SourcesOf(id);
        EXPECT_EQ(std::count_if(sources.begin(), sources.end(),
                                [](const SourceRow& s) { return s.sha256.size() == 64; }),
                  1);
    }
    EXPECT_EQ(db_->Count("SELECT count(*) FROM v_runs"), static_cast<long long>(ids.size()));
}

// Version 2's views, as the tool made them: integers and text on both engines.
TEST_F(StoreTest, VersionTwoDatabaseGetsTypedViewsFromTheNextIngest) {
    std::string standard = (fs::path(YIELD_GOLDEN_DIR) / kStandard).string();
    IngestInto(*db_, {standard});
    yieldtest::BackToVersionTwo(*db_);
    db_->Rows("CREATE VIEW v_runs AS SELECT id, day, started_at, 1 AS complete FROM runs");
    EXPECT_THROW(OpenStore(db_->Url(), false), StoreError);
    IngestInto(*db_, {standard});
    OpenStore(db_->Url(), false);
    std::string types = db_->Rows(
        kSqlite ? "SELECT typeof(day), typeof(started_at), typeof(complete) FROM v_runs"
                : "SELECT pg_typeof(day), pg_typeof(started_at), pg_typeof(complete) FROM v_runs");
    EXPECT_EQ(types.substr(0, types.find('\n')),
              kSqlite ? "text|text|integer|" : "date|timestamp without time zone|boolean|");
}

// A database of version 2 held runs of unset clocks under their stamp's day (1970): the next
// writer flags them and counts them on the day their kept file arrived.
TEST_F(StoreTest, VersionTwoDatabaseHasItsUnsetClocksFlaggedByTheNextWriter) {
    std::tm copied{};
    copied.tm_year = 2026 - 1900;
    copied.tm_mon = 11;
    copied.tm_mday = 7;
    copied.tm_hour = 15;
    copied.tm_isdst = -1;
    const long long mtime = static_cast<long long>(std::mktime(&copied)) * 1000000000LL;
    {
        auto store = OpenStore(db_->Url(), true);
        store->Begin();
        store->PutRun(KeyedRun("bench1", "1970_01_01_00_00_51", ""),
                      SourceFile{"/a.log", 1, mtime});
        store->PutRun(KeyedRun("bench1", "2026_12_07_12_00_51", ""),
                      SourceFile{"/b.log", 1, mtime});
        store->Commit();
    }
    yieldtest::BackToVersionFour(*db_);
    db_->Rows("ALTER TABLE runs DROP COLUMN clock_unset");
    db_->Rows(std::string(YIELD_TEST_ENGINE) == "sqlite"
                  ? "PRAGMA user_version = 2"
                  : "DELETE FROM yield_schema; INSERT INTO yield_schema VALUES (2)");
    EXPECT_THROW(OpenStore(db_->Url(), false), StoreError);
    OpenStore(db_->Url(), true);
    EXPECT_EQ(db_->Rows("SELECT start_stamp, day, clock_unset FROM runs ORDER BY id"),
              "1970_01_01_00_00_51|2026-12-07|1|\n2026_12_07_12_00_51|2026-12-07|0|\n");
    std::vector<RunSummary> runs;
    const RunFilter day{"2026-12-07", "2026-12-07", "", ""};
    OpenStore(db_->Url(), false)->ForEachRun(day, [&](const RunSummary& r) { runs.push_back(r); });
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_TRUE(runs[0].clockUnset);
    EXPECT_EQ(runs[0].hour, -1);  // the stamp's hour says nothing either
    EXPECT_FALSE(runs[1].clockUnset);
}

TEST_F(StoreTest, ARunKeepsTheFirstStationACopyOfItBrings) {
    auto store = OpenStore(db_->Url(), true);
    RunRecord run = KeyedRun("devuze-line", "2026_12_07_08_00_00", "");
    run.verdict = Verdict::Incomplete;
    store->Begin();
    EXPECT_EQ(store->PutRun(run, SourceFile{"/in/a.log", 1, 1}), PutOutcome::New);
    run.station = "fixture-A";
    EXPECT_EQ(store->PutRun(run, SourceFile{"/in/b.log", 1, 1}), PutOutcome::Copy);
    run.station = "fixture-B";
    run.verdict = Verdict::Ok;
    EXPECT_EQ(store->PutRun(run, SourceFile{"/in/c.log", 1, 1}), PutOutcome::Replaced);
    run.station = "";
    EXPECT_EQ(store->PutRun(run, SourceFile{"/in/d.log", 1, 1}), PutOutcome::Copy);
    store->Commit();
    std::vector<long long> ids = store->RunIds({});
    ASSERT_EQ(ids.size(), 1u);
    RunRecord stored = store->LoadRun(ids[0]);
    EXPECT_EQ(stored.verdict, Verdict::Ok);
    EXPECT_EQ(stored.station, "fixture-A");
    store->ForEachRun({}, [](const RunSummary& r) { EXPECT_EQ(r.station, "fixture-A"); });
}

TEST_F(StoreTest, StationFilterMatchesTheStationOrTheHostOfARunWithoutOne) {
    auto store = OpenStore(db_->Url(), true);
    store->Begin();
    for (const RunRecord& run :
         {KeyedRun("devuze-line", "2026_12_07_08_00_00", "fixture-A"),
          KeyedRun("devuze-line", "2026_12_07_09_00_00", ""), KeyedRun("fixture-A", "no day", ""),
          KeyedRun("bench", "2026_12_07_10_00_00", "devuze-line")}) {
        store->PutRun(run, SourceFile{"/in/" + run.timeStamp + run.host, 1, 1});
    }
    store->Commit();
    auto filter = [](const std::string& host, const std::string& station) {
        RunFilter f;
        f.host = host;
        f.station = station;
        return f;
    };
    using Ids = std::vector<long long>;
    EXPECT_EQ(SummaryIds(*store, filter("", "fixture-A")), (Ids{1, 3}));
    EXPECT_EQ(SummaryIds(*store, filter("", "devuze-line")), (Ids{2, 4}));
    EXPECT_EQ(SummaryIds(*store, filter("devuze-line", "fixture-A")), (Ids{1}));
    EXPECT_EQ(SummaryIds(*store, filter("bench", "fixture-A")), (Ids{}));
    EXPECT_EQ(store->RunIds(filter("devuze-line", "")), (Ids{1, 2}));
    EXPECT_EQ(store->RunIds(filter("", "devuze-line")), (Ids{2, 4}));
    EXPECT_EQ(store->CountRunsWithoutDay(filter("", "fixture-A")), 1);
    EXPECT_EQ(store->CountRunsWithoutDay(filter("", "devuze-line")), 0);
}

// A day range gives its runs each with its own ports, however its runs and other days' runs
// interleave in the order they were stored; a range without runs gives none.
TEST_F(StoreTest, DayRangeGivesItsRunsWithTheirOwnPortsWhereverTheyWereStored) {
    auto store = OpenStore(db_->Url(), true);
    store->Begin();
    int n = 0;
    for (const char* stamp :
         {"2026_12_06_23_00_00", "2026_12_07_08_00_00", "no day", "2026_12_08_01_00_00",
          "2026_12_07_09_00_00", "2026_12_06_10_00_00"}) {
        RunRecord run = KeyedRun("line", stamp, "");
        ++n;
        run.ports.push_back(PortResult{"DI", n, n % 2 == 0, false});  // DI-n: the n-th stored
        store->PutRun(run, SourceFile{"/in/" + std::to_string(n), 1, 1});
    }
    store->Commit();
    auto ports = [&store](const std::string& since, const std::string& until) {
        RunFilter f;
        f.since = since;
        f.until = until;
        std::vector<std::string> out;
        store->ForEachRun(f, [&out](const RunSummary& r) {
            std::string line = std::to_string(r.id) + " " + r.day;
            for (const PortResult& p : r.ports) line += " " + p.Name() + (p.passed ? "+" : "-");
            out.push_back(line);
        });
        return out;
    };
    using Lines = std::vector<std::string>;
    EXPECT_EQ(ports("2026-12-07", "2026-12-07"),
              (Lines{"2 2026-12-07 DI-2+", "5 2026-12-07 DI-5-"}));
    EXPECT_EQ(ports("2026-12-07", ""),
              (Lines{"2 2026-12-07 DI-2+", "4 2026-12-08 DI-4+", "5 2026-12-07 DI-5-"}));
    EXPECT_EQ(ports("", "2026-12-06"), (Lines{"1 2026-12-06 DI-1-", "6 2026-12-06 DI-6+"}));
    EXPECT_EQ(ports("2026-12-09", "2026-12-31"), Lines{});
    EXPECT_EQ(ports("", "").size(), 6u);
    EXPECT_EQ(ports("", "")[2], "3  DI-3-");
}

TEST_F(StoreTest, NewestRunsAreTheLastStoredOfAnyDayNewestFirst) {
    auto store = OpenStore(db_->Url(), true);
    store->Begin();
    for (const char* stamp : {"2026_12_07_10_00_00", "2026_12_09_08_00_00", "no day",
                              "2026_12_01_08_00_00", "2026_12_07_09_00_00"}) {
        store->PutRun(KeyedRun("line", stamp, ""), SourceFile{std::string("/in/") + stamp, 1, 1});
    }
    store->Commit();
    using Ids = std::vector<long long>;
    EXPECT_EQ(store->NewestRunIds(3), (Ids{5, 4, 3}));
    EXPECT_EQ(store->NewestRunIds(10), (Ids{5, 4, 3, 2, 1}));
    std::vector<RunSummary> newest = store->NewestRuns(2);
    ASSERT_EQ(newest.size(), 2u);
    EXPECT_EQ(newest[0].timeStamp, "2026_12_07_09_00_00");
    EXPECT_EQ(newest[1].id, 4);
    // A more complete copy of a run replaces it where it is: it becomes no newer.
    RunRecord again = KeyedRun("line", "2026_12_09_08_00_00", "");
    again.records = 9;
    store->Begin();
    EXPECT_EQ(store->PutRun(again, SourceFile{"/in/again", 1, 1}), PutOutcome::Replaced);
    store->Commit();
    EXPECT_EQ(store->NewestRunIds(2), (Ids{5, 4}));
}

// The wall's last logs per station: the newest file time, a copy's too, of the runs of the days
// asked; a run without a station counts under its host.
TEST_F(StoreTest, StationUploadsAreTheNewestFileTimeOfEachStationsRecentRuns) {
    auto store = OpenStore(db_->Url(), true);
    store->Begin();
    store->PutRun(KeyedRun("line", "2026_12_07_10_00_00", "fixture-a"), SourceFile{"/a/1", 1, 70});
    store->PutRun(KeyedRun("line", "2026_12_07_10_00_00", "fixture-a"), SourceFile{"/a/2", 1, 90});
    store->PutRun(KeyedRun("line", "2026_12_01_10_00_00", "fixture-a"), SourceFile{"/a/3", 1, 99});
    store->PutRun(KeyedRun("bench", "2026_12_08_10_00_00", ""), SourceFile{"/b/1", 1, 50});
    store->PutRun(KeyedRun("gone", "no day", ""), SourceFile{"/c/1", 1, 99});
    store->Commit();
    std::vector<StationUpload> uploads = store->StationUploads("2026-12-07");
    ASSERT_EQ(uploads.size(), 2u);
    EXPECT_EQ(uploads[0].station, "bench");
    EXPECT_EQ(uploads[0].mtime, 50);
    EXPECT_EQ(uploads[1].station, "fixture-a");
    EXPECT_EQ(uploads[1].mtime, 90);
}

// The screen reads the day's tallies, not every port of every run: a flagged port's boards are
// counted from the rows, each board once however often it was tested, its incomplete runs and
// other days' runs left out.
TEST_F(StoreTest, TheScreenCountsTheBoardsOfAFlaggedPortNotItsRuns) {
    auto store = OpenStore(db_->Url(), true);
    store->Begin();
    int file = 0;
    auto put = [&](const std::string& chip, const std::string& station, const std::string& stamp,
                   Verdict v, bool di5Passed) {
        RunRecord run = KeyedRun(station, stamp, station);
        run.chipId = chip;
        run.verdict = v;
        run.ports = {PortResult{"DI", 5, di5Passed, false}, PortResult{"DI", 6, true, false}};
        store->PutRun(run, SourceFile{"/f/" + std::to_string(++file), 1, 1});
    };
    for (int i = 0; i < 4; ++i) {
        std::string n = std::to_string(i);
        put("bad" + n, "bad", "2026_12_07_08_0" + n + "_00", Verdict::Err, false);
        put("good" + n, "good", "2026_12_07_08_1" + n + "_00", Verdict::Ok, true);
    }
    put("bad0", "bad", "2026_12_07_09_00_00", Verdict::Err, false);         // a retest
    put("bad9", "bad", "2026_12_07_09_10_00", Verdict::Incomplete, false);  // not complete
    put("bad8", "bad", "2026_12_06_09_10_00", Verdict::Err, false);         // the day before
    store->Commit();
    ReportModel m = ReadReport(*store, DayFilter("2026-12-07"), ScreenReading(10));
    std::map<std::pair<std::string, std::string>, long long> expected{{{"bad", "DI-5"}, 4}};
    EXPECT_EQ(m.portBoards, expected);  // DI-6 is not flagged, "good" flags nothing
}

#ifdef YIELD_PG_HOST
constexpr char kFailedIndexCount[] =
    "SELECT count(*) FROM pg_indexes WHERE indexname IN"
    " ('failed_measurements', 'intermittent_ports')";
#else
constexpr char kFailedIndexCount[] =
    "SELECT count(*) FROM sqlite_master WHERE name IN"
    " ('failed_measurements', 'intermittent_ports')";
#endif

// The failing results of many runs are read in one go, each run's its own and as the whole run
// gives them; runs left out between them are passed over. A database made before the index they
// are read through gets it from the next ingest, not from a reader.
TEST_F(StoreTest, FailingResultsOfManyRunsAtOnceAreEachRunsOwn) {
    IngestInto(*db_, {YIELD_GOLDEN_DIR});
    db_->Rows("DROP INDEX failed_measurements; DROP INDEX intermittent_ports");
    auto store = OpenStore(db_->Url(), false);
    EXPECT_EQ(db_->Count(kFailedIndexCount), 0);
    std::vector<long long> ids = store->RunIds({});
    std::sort(ids.begin(), ids.end());
    ASSERT_GE(ids.size(), 5u);
    auto quoted = [&store](const std::vector<long long>& asked) {
        std::vector<std::pair<long long, std::string>> out;
        store->ForEachFailing(asked, [&out](long long id, const RunRecord& failing) {
            out.emplace_back(id, RepairFailures(failing));
        });
        return out;
    };
    std::vector<std::pair<long long, std::string>> all = quoted(ids), whole;
    for (long long id : ids) whole.emplace_back(id, RepairFailures(store->LoadRun(id)));
    EXPECT_EQ(all, whole);
    EXPECT_GE(
        std::count_if(all.begin(), all.end(), [](const auto& q) { return !q.second.empty(); }), 3);
    std::vector<long long> some = {ids[1], ids[3], ids.back()};
    EXPECT_EQ(quoted(some),
              (std::vector<std::pair<long long, std::string>>{whole[1], whole[3], whole.back()}));
    EXPECT_TRUE(quoted({}).empty());

    OpenStore(db_->Url(), true);
    EXPECT_EQ(db_->Count(kFailedIndexCount), 2);
    EXPECT_EQ(quoted(ids), whole);
}

#ifndef YIELD_PG_HOST  // what does not depend on the engine, and SQLite's own

// A changed run's tallies read its own rows through their key: a plan that scans a table of rows
// reads every stored port at every change, and an ingest grows with the square of the runs.
TEST_F(StoreTest, ARunsTalliesReadOnlyItsOwnRows) {
    IngestInto(*db_, {YIELD_GOLDEN_DIR});
    for (const char* text : sql::kSettleTallies) {
        std::string plan = db_->Rows(std::string("EXPLAIN QUERY PLAN ") + text);
        EXPECT_EQ(plan.find("SCAN"), std::string::npos) << plan;
    }
}

// A report reads the failed runs and their causes, the runs of unset clocks and those with an
// intermittent port through their own indexes, in run order: never every run of its days, nor a
// sort of their rows.
TEST_F(StoreTest, AReportReadsItsFewRunsThroughTheirIndexes) {
    IngestInto(*db_, {YIELD_GOLDEN_DIR});
    for (const char* text :
         {sql::kNotableRuns, sql::kCausesOfRunSpan, sql::kIntermittentPortsOfRunSpan}) {
        std::string plan = db_->Rows(std::string("EXPLAIN QUERY PLAN ") + text);
        EXPECT_EQ(plan.find("SCAN"), std::string::npos) << plan;
        EXPECT_EQ(plan.find("TEMP B-TREE"), std::string::npos) << plan;
    }
    std::string notable = db_->Rows(std::string("EXPLAIN QUERY PLAN ") + sql::kNotableRuns);
    EXPECT_NE(notable.find("runs_failed"), std::string::npos) << notable;
    // The boards that are not plain, through their own index: not every board of a year.
    std::string boards =
        db_->Rows(std::string("EXPLAIN QUERY PLAN ") + sql::kNotableBoardsByFilter.everyDay);
    EXPECT_NE(boards.find("boards_notable"), std::string::npos) << boards;
    // A day's tallies and boards: a range of their day's key, not every day's rows.
    for (const sql::FilterText& read :
         {sql::kPortTallies, sql::kRunTallies, sql::kVoltReadings, sql::kBoardsByFilter,
          sql::kPlainBoardTallies}) {
        std::string plan = db_->Rows(std::string("EXPLAIN QUERY PLAN ") + read.days);
        EXPECT_EQ(plan.find("SCAN"), std::string::npos) << plan;
    }
}

TEST(Store, FifosAndBrokenLinksInAFolderAreListedLinkedFoldersNotFollowed) {
    TempDir tmp;
    fs::path in = tmp.path() / "in";
    yieldtest::WriteAll(in / "run.log", yieldtest::ReadAll(yieldtest::GoldenFlashLog("usb-none")));
    ASSERT_EQ(mkfifo((in / "pipe").c_str(), 0600), 0);
    fs::create_symlink(in / "gone", in / "dangling");
    fs::create_symlink(in / "loop-b", in / "loop-a");
    fs::create_symlink(in / "loop-a", in / "loop-b");
    fs::create_directory_symlink(in, in / "self");
    IngestStats s = IngestPaths(tmp.path() / "y.db", {in.string()});
    EXPECT_EQ(s.runsNew, 1);
    EXPECT_EQ(s.total, 6);
    std::map<std::string, std::string> reasons(s.problemList.begin(), s.problemList.end());
    EXPECT_EQ(reasons[(in / "pipe").string()], "not a regular file");
    EXPECT_EQ(reasons[(in / "dangling").string()].rfind("cannot read: ", 0), 0u);
    EXPECT_EQ(reasons[(in / "loop-a").string()].rfind("cannot read: ", 0), 0u);
    EXPECT_EQ(reasons[(in / "self").string()], "link to a folder, not followed");
    EXPECT_EQ(reasons.size(), 5u);
}

// A folder the user cannot open is listed, not passed over in silence (root opens any: the
// ingest runs as nobody in a child).
TEST(Store, FolderThatCannotBeOpenedIsListed) {
    TempDir tmp;
    fs::path in = tmp.path() / "in";
    yieldtest::WriteAll(in / "closed" / "run.log", "x");
    yieldtest::WriteAll(in / "run.log", yieldtest::ReadAll(yieldtest::GoldenFlashLog("usb-none")));
    fs::permissions(in / "closed", fs::perms::none);
    fs::permissions(tmp.path(), fs::perms::all);
    pid_t child = fork();
    if (child == 0) {
        int rc = 1;
        if (geteuid() != 0 || setresuid(65534, 65534, 65534) == 0) {
            IngestStats s = IngestPaths(tmp.path() / "y.db", {in.string()});
            bool listed = s.problemList.size() == 1 &&
                          s.problemList[0].first == (in / "closed").string() &&
                          s.problemList[0].second == "cannot read: Permission denied";
            rc = s.runsNew == 1 && listed ? 0 : 1;
        }
        _exit(rc);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    fs::permissions(in / "closed", fs::perms::owner_all);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// Two ingests into one database at the same time (two operators, or a scheduled ingest): the
// second waits for the first one's batch instead of failing with "database is locked".
TEST(Store, TwoIngestsAtOnceBothStoreTheirRuns) {
    TempDir tmp;
    fs::path db = tmp.path() / "y.db";
    OpenSqliteStore(db.string(), true);
    auto first = OpenSqliteStore(db.string(), true);
    auto second = OpenSqliteStore(db.string(), true);
    first->Begin();
    SourceFile junk;
    junk.path = (tmp.path() / "junk").string();
    first->PutProblem(junk, "not a trace log", false);  // holds the write lock until its commit
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        first->Commit();
    });
    IngestStats s;
    EXPECT_NO_THROW(s = Ingest(*second, {yieldtest::GoldenFlashLog("usb-none").string()}, nullptr));
    other.join();
    EXPECT_EQ(s.runsNew, 1);
}

TEST(Store, UnwritableDatabaseIsTheOneFatalError) {
    TempDir tmp;
    EXPECT_THROW(OpenSqliteStore((tmp.path() / "no" / "such" / "y.db").string(), true), StoreError);
    EXPECT_THROW(OpenSqliteStore((tmp.path() / "missing.db").string(), false), StoreError);
    EXPECT_THROW(OpenSqliteStore("", true), StoreError);  // not a temporary that vanishes
    yieldtest::WriteAll(tmp.path() / "junk.db", std::string(4096, 'x'));
    EXPECT_THROW(OpenSqliteStore((tmp.path() / "junk.db").string(), true), StoreError);
}

#endif

// A file that could not be read says nothing by its size and time; one that was read does.
TEST_F(StoreTest, OnlyAFileThatWasReadCanBeUnchanged) {
    auto store = OpenStore(db_->Url(), true);
    SourceFile unread{"/pile/locked.log", 4096, 1700000000000000000LL};
    SourceFile foreign{"/pile/notes.txt", 10, 1700000000000000000LL};
    store->Begin();
    store->PutProblem(unread, "cannot read: Permission denied", true);
    store->PutProblem(foreign, "not a trace log", false);
    store->Commit();
    EXPECT_FALSE(store->KnownUnchanged(unread));
    EXPECT_TRUE(store->KnownUnchanged(foreign));
    // What `problems` tells apart: the unread file is retried at every ingest, the other is not.
    std::vector<SourceRow> problems = store->ProblemFiles();
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].path, unread.path);
    EXPECT_EQ(problems[0].role, "unread");
    EXPECT_EQ(problems[0].size, 4096);
    EXPECT_EQ(problems[1].role, "problem");
    EXPECT_EQ(problems[1].reason, "not a trace log");
}

// A pile of copies as an operator hands it over, on each database engine: whole logs in the
// flash and stick folders, copies cut inside the run header by a stick pulled during the copy, and
// copies made by a tool that ends lines with CR LF.
namespace {

using RunKey = std::tuple<std::string, std::string, std::string, std::string>;

constexpr char kCutShort[] = "run header cut short (no host, processor ID or time stamp)";

std::string WithCrLf(const std::string& log) {
    std::string out;
    for (char c : log) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// Offsets inside each key value, its caller tail, and the next record's prefix.
std::vector<size_t> HeaderCuts(const std::string& log) {
    std::vector<size_t> cuts;
    for (const char* tag : {"] hostname:", "] DateTime:", "] iMx6ull:"}) {
        size_t value = log.find(tag) + std::string(tag).size();
        size_t tab = log.find('\t', value);
        size_t lineEnd = log.find('\n', tab);
        cuts.insert(cuts.end(), {value + 2, tab + 4, lineEnd + 5});
    }
    return cuts;
}

// The scenario's folders as the golden set has them, and more copies on further sticks: the
// flash log with CR LF line ends, and the flash log cut inside its header, each under its name.
void LayOut(const fs::path& scenario, const fs::path& to) {
    fs::copy(scenario, to, fs::copy_options::recursive);
    fs::remove(to / "expected.json");
    fs::path flash = yieldtest::GoldenFlashLog(scenario.filename().string());
    std::string log = ReadAll(flash);
    std::string name, host, chip, stamp;
    ParseArchiveName(flash.filename().string(), host, chip, stamp);
    name = "deVuzeV7_" + host + "[" + chip + "]_" + stamp + ".log";
    std::string verdictFolder =
        flash.filename().string().find("[OK]") != std::string::npos ? "TestQ7[OK]" : "TestQ7[ERR]";
    WriteAll(to / "media/sdb1" / verdictFolder / name, WithCrLf(log));
    std::vector<size_t> cuts = HeaderCuts(log);
    for (size_t i = 0; i < cuts.size(); ++i) {
        fs::path stick = to / "media" / ("sdc" + std::to_string(10 + i));
        WriteAll(stick / verdictFolder / name, log.substr(0, cuts[i]));
    }
}

class PileTest : public ::testing::Test {
protected:
    std::unique_ptr<yieldtest::TestDb> db_ = yieldtest::TestDb::Make(YIELD_TEST_ENGINE);
};

}  // namespace

TEST_F(PileTest, EveryRunOnceWithItsKeyWhateverCopiesOfItArePiledUp) {
    yieldtest::TempDir tmp;
    std::set<RunKey> expected;
    for (const auto& scenario : fs::directory_iterator(YIELD_GOLDEN_DIR)) {
        nlohmann::json bench = nlohmann::json::parse(ReadAll(scenario.path() / "expected.json"));
        std::string host, chip, stamp;
        fs::path flash = yieldtest::GoldenFlashLog(scenario.path().filename().string());
        ParseArchiveName(flash.filename().string(), host, chip, stamp);
        expected.emplace(bench["hostname"], chip, stamp, bench["verdict"]);
        LayOut(scenario.path(), tmp.path() / scenario.path().filename());
    }
    long long files = 0;
    for (const auto& f : fs::recursive_directory_iterator(tmp.path())) files += f.is_regular_file();
    auto store = OpenStore(db_->Url(), true);
    IngestStats stats = Ingest(*store, {tmp.path().string()}, nullptr);

    std::set<RunKey> stored;
    for (long long id : store->RunIds(RunFilter())) {
        RunRecord run = store->LoadRun(id);
        stored.emplace(run.host, run.chipId, run.timeStamp, VerdictWord(run.verdict));
        for (const SourceRow& s : store->SourcesOf(id))
            EXPECT_TRUE(s.role != "kept" || s.path.find("/sdc") == std::string::npos) << s.path;
    }
    EXPECT_EQ(stored, expected);
    EXPECT_EQ(store->CheckTallies().differences, 0);
    EXPECT_EQ(db_->Count("SELECT COUNT(*) FROM runs"), static_cast<long long>(expected.size()));
    EXPECT_EQ(stats.runsNew, static_cast<long long>(expected.size()));
    EXPECT_EQ(stats.replaced, 0);
    EXPECT_EQ(stats.copies + stats.problems, files - stats.runsNew);
    // Only a cut host the board had to escape in the name is left without its run.
    EXPECT_GT(stats.problems, 0);
    for (const auto& [path, why] : stats.problemList) {
        EXPECT_NE(path.find("hostname-forged-verdict/media/sdc"), std::string::npos) << path;
        EXPECT_EQ(why, kCutShort);
    }
}

namespace {

// The JSON report of `filter` from the tallies, checked to be the one every run gives.
std::string JsonReportOf(ReadStore& store, const RunFilter& filter) {
    std::ostringstream tallied, rows;
    WriteReportJson(BuildReport(filter, ReportRowsOf(store, filter, true)), tallied);
    WriteReportJson(BuildReport(filter, ReportRowsOf(store, filter)), rows);
    EXPECT_EQ(tallied.str(), rows.str());
    return tallied.str();
}

// The report's text over every run: what the tallies must leave as the rows give it.
std::string ReportOf(ReadStore& store) {
    JsonReportOf(store, {});
    ReportModel m = BuildReport({}, ReportRowsOf(store, {}, true));
    ReportModel rows = BuildReport({}, ReportRowsOf(store, {}));
    EXPECT_EQ(m.fixture.size(), rows.fixture.size());
    std::string out;
    for (size_t i = 0; i < m.fixture.size(); ++i) {
        FixtureCell a = m.fixture[i], b = rows.fixture[i];
        EXPECT_EQ(std::tie(a.host, a.port, a.runs, a.failures),
                  std::tie(b.host, b.port, b.runs, b.failures));
        out += a.host + " " + a.port + " " + std::to_string(a.runs) + "/" +
               std::to_string(a.failures) + "\n";
    }
    for (const AnalogueStats& a : m.analogue)
        out += a.input + " " + std::to_string(a.count) + " " + std::to_string(a.mean) + "\n";
    return out;
}

}  // namespace

// A cut copy replaced by the whole one, a station that comes with a later copy, a copy of a run
// read again after its file changed: the tallies move with the rows, and an upgrade makes them.
// The batch's new runs are summed as they are written: one replaced, or given its station, by a
// later file of the same batch is counted once, as its rows stand at the commit.
TEST_F(StoreTest, ANewRunChangedInItsOwnBatchIsTalliedAsItsRowsStand) {
    TempDir tmp;
    std::string whole = ReadAll(yieldtest::GoldenFlashLog("standard"));
    WriteAll(tmp.path() / "a-cut" / "a.log", whole.substr(0, whole.size() * 2 / 3));
    WriteAll(tmp.path() / "b-whole" / "a.log", whole);
    WriteAll(tmp.path() / "c-failed" / "b.log",
             ReadAll(yieldtest::GoldenFlashLog("dio-stuck-di5-0")));
    auto store = OpenStore(db_->Url(), true);
    Ingest(*store, {tmp.path().string()}, nullptr);
    EXPECT_EQ(store->CheckTallies().differences, 0);
    EXPECT_EQ(db_->Rows("SELECT sum(runs) FROM day_ports WHERE family = 'DO' AND number = 1"),
              "2|\n");
}

TEST_F(StoreTest, TalliesFollowTheRowsThroughReplacementsLateStationsAndAnUpgrade) {
    TempDir tmp;
    std::string whole = ReadAll(yieldtest::GoldenFlashLog("standard"));
    std::string failed = ReadAll(yieldtest::GoldenFlashLog("dio-stuck-di5-0"));
    WriteAll(tmp.path() / "crlf" / "a.log", WithCrLf(whole));
    WriteAll(tmp.path() / "cut" / "a.log", whole.substr(0, whole.size() * 2 / 3));
    WriteAll(tmp.path() / "whole" / "a.log", whole);
    WriteAll(tmp.path() / "failed" / "b.log", failed);
    auto store = OpenStore(db_->Url(), true);
    Ingest(*store, {(tmp.path() / "cut").string(), (tmp.path() / "failed").string()}, nullptr);
    std::string cutReport = ReportOf(*store);
    Ingest(*store, {(tmp.path() / "whole").string()}, nullptr, {}, "fixture-A");
    Ingest(*store, {(tmp.path() / "failed").string()}, nullptr, {}, "fixture-B");
    Ingest(*store, {(tmp.path() / "crlf").string()}, nullptr, {}, "fixture-C");
    EXPECT_EQ(store->CheckTallies().differences, 0);
    std::string report = ReportOf(*store);
    EXPECT_NE(report, cutReport);
    EXPECT_NE(report.find("fixture-B"), std::string::npos) << report;

    db_->Rows("UPDATE day_ports SET failures = failures + 1 WHERE family = 'DO'");
    TallyCheckResult wrong = OpenStore(db_->Url(), false)->CheckTallies();  // a new snapshot
    EXPECT_GT(wrong.differences, 0);
    ASSERT_FALSE(wrong.shown.empty());
    EXPECT_NE(wrong.shown[0].find("day_ports"), std::string::npos) << wrong.shown[0];
    EXPECT_EQ(wrong.differences, static_cast<long long>(wrong.shown.size()));

    db_->Rows("UPDATE day_ports SET failures = failures - 1 WHERE family = 'DO';"
              " UPDATE boards SET runs = runs + 1");
    wrong = OpenStore(db_->Url(), false)->CheckTallies();
    ASSERT_EQ(wrong.shown.size(), 2u);  // the row stored, and the row the runs give
    EXPECT_EQ(wrong.shown[0].find("boards "), 0u) << wrong.shown[0];

    db_->Rows("UPDATE boards SET runs = runs - 1; UPDATE run_causes SET cause = 'DI-6'");
    wrong = OpenStore(db_->Url(), false)->CheckTallies();
    ASSERT_EQ(wrong.shown.size(), 2u) << wrong.shown[0];
    EXPECT_EQ(wrong.shown[0].find("run_causes "), 0u) << wrong.shown[0];
    EXPECT_NE(wrong.shown[1].find("DI-5"), std::string::npos) << wrong.shown[1];
    db_->Rows("UPDATE run_causes SET cause = 'DI-5';"
              " INSERT INTO day_boards VALUES ('2026-12-07', 'h', 's', 1)");
    wrong = OpenStore(db_->Url(), false)->CheckTallies();
    ASSERT_EQ(wrong.shown.size(), 1u);
    EXPECT_EQ(wrong.shown[0].find("day_boards "), 0u) << wrong.shown[0];
    db_->Rows("DELETE FROM day_boards WHERE host = 'h'");

    store.reset();
    yieldtest::BackToVersionThree(*db_);
    EXPECT_THROW(OpenStore(db_->Url(), false), StoreError);
    store = OpenStore(db_->Url(), true);
    EXPECT_EQ(store->CheckTallies().differences, 0);
    EXPECT_EQ(ReportOf(*store), report);
    std::string boards = db_->Rows("SELECT * FROM boards ORDER BY chip_id");
    store.reset();
    yieldtest::BackToVersionFour(*db_);
    EXPECT_THROW(OpenStore(db_->Url(), false), StoreError);
    EXPECT_EQ(OpenStore(db_->Url(), true)->CheckTallies().differences, 0);
    EXPECT_EQ(db_->Rows("SELECT * FROM boards ORDER BY chip_id"), boards);
    yieldtest::BackToVersionFive(*db_);
    EXPECT_THROW(OpenStore(db_->Url(), false), StoreError);
    store = OpenStore(db_->Url(), true);
    EXPECT_EQ(store->CheckTallies().differences, 0);
    EXPECT_EQ(db_->Rows("SELECT cause FROM run_causes"), "DI-5|\n");
    EXPECT_EQ(ReportOf(*store), report);
    std::string dayBoards = db_->Rows("SELECT * FROM day_boards ORDER BY 1, 2, 3");
    store.reset();
    yieldtest::BackToVersionSix(*db_);
    EXPECT_THROW(OpenStore(db_->Url(), false), StoreError);
    store = OpenStore(db_->Url(), true);
    EXPECT_EQ(store->CheckTallies().differences, 0);
    EXPECT_EQ(db_->Rows("SELECT * FROM day_boards ORDER BY 1, 2, 3"), dayBoards);
    EXPECT_EQ(ReportOf(*store), report);
}

// A board is counted on the day of its first run, with its first and final results over all its
// runs: a report of a later day counts only its retest runs, and a report of the first day knows
// the board was repaired since. The tallies and the runs give the same report.
TEST_F(StoreTest, ABoardBelongsToTheDayOfItsFirstRunWhateverDaysAReportSelects) {
    auto store = OpenStore(db_->Url(), true);
    int file = 0;
    auto put = [&](const std::string& chip, const std::string& stamp, Verdict v,
                   const std::string& station, bool di5Passed = true) {
        RunRecord run = KeyedRun(station, stamp, station);
        run.chipId = chip;
        run.verdict = v;
        run.ports = {PortResult{"DI", 5, di5Passed, false}};
        store->Begin();
        store->PutRun(run, SourceFile{"/f/" + std::to_string(++file), 1, 1});
        store->Commit();
    };
    put("0xA", "2026_12_07_08_00_00", Verdict::Err, "s1", false);
    put("0xA", "2026_12_08_09_00_00", Verdict::Ok, "s2");
    put("0xB", "2026_12_08_10_00_00", Verdict::Incomplete, "s1");
    put("0xB", "2026_12_09_10_00_00", Verdict::Ok, "s1");
    put("0xC", "2026_12_07_11_00_00", Verdict::Ok, "s2");
    auto summary = [&](const std::string& since, const std::string& until) {
        RunFilter f;
        f.since = since;
        f.until = until;
        JsonReportOf(*store, f);
        ReportModel m = BuildReport(f, ReportRowsOf(*store, f, true));
        const YieldSummary& s = m.summary;
        return std::vector<long long>{s.runs,        s.boards,         s.firstPassed,
                                      s.finalPassed, s.retestedBoards, s.retestRuns,
                                      static_cast<long long>(m.repairs.size())};
    };
    // runs, boards, first passed, final passed, retested boards, retest runs, queued
    EXPECT_EQ(summary("2026-12-07", "2026-12-07"), (std::vector<long long>{2, 2, 1, 2, 1, 1, 0}));
    EXPECT_EQ(summary("2026-12-08", "2026-12-08"), (std::vector<long long>{2, 1, 0, 1, 1, 1, 0}));
    EXPECT_EQ(summary("2026-12-09", ""), (std::vector<long long>{1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(summary("", ""), (std::vector<long long>{5, 3, 1, 3, 2, 2, 0}));
    EXPECT_EQ(store->CheckTallies().differences, 0);
}

// A board's row: its first run by start stamp (then by ID, for two hosts' runs of one stamp),
// an aborted one included, and the run the desk is shown: its last complete run, or its latest
// while none is complete; kept as runs come in other batches and a station comes late.
TEST_F(StoreTest, ABoardsRowIsItsFirstRunAndTheRunTheDeskIsShown) {
    auto store = OpenStore(db_->Url(), true);
    int file = 0;
    auto put = [&](const std::string& host, const std::string& stamp, Verdict v,
                   const std::string& station = "") {
        RunRecord run = KeyedRun(host, stamp, station);
        run.chipId = "0xB0";
        run.verdict = v;
        store->Begin();
        store->PutRun(run, SourceFile{"/f/" + std::to_string(++file), 1, 1});
        store->Commit();
    };
    auto row = [&] {
        return db_->Rows(
            "SELECT runs, complete, first_id, first_stamp, first_day, first_host, first_station,"
            " first_verdict, shown_id, shown_stamp, shown_host, shown_verdict FROM boards");
    };
    put("b", "2026_12_07_10_00_00", Verdict::Incomplete);
    EXPECT_EQ(row(), "1|0|1|2026_12_07_10_00_00|2026-12-07|b||INCOMPLETE|1|2026_12_07_10_00_00|b|"
                     "INCOMPLETE|\n");
    put("a", "2026_12_07_10_00_00", Verdict::Err);       // the same stamp, a later ID
    put("a", "2026_12_07_11_00_00", Verdict::Incomplete);  // aborted after a complete run
    EXPECT_EQ(row(), "3|1|1|2026_12_07_10_00_00|2026-12-07|b||INCOMPLETE|2|2026_12_07_10_00_00|a|"
                     "ERR|\n");
    put("b", "2026_12_07_10_00_00", Verdict::Incomplete, "fixture-2");  // its station, late
    EXPECT_EQ(row(), "3|1|1|2026_12_07_10_00_00|2026-12-07|b|fixture-2|INCOMPLETE|2|"
                     "2026_12_07_10_00_00|a|ERR|\n");
    put("a", "2026_12_06_09_00_00", Verdict::Ok, "fixture-1");  // an earlier day, stored last
    EXPECT_EQ(row(), "4|2|4|2026_12_06_09_00_00|2026-12-06|a|fixture-1|OK|2|2026_12_07_10_00_00|a|"
                     "ERR|\n");
    TallyCheckResult check = store->CheckTallies();
    EXPECT_EQ(check.differences, 0) << (check.shown.empty() ? "" : check.shown[0]);
}
