// How an ingest's batches meet a database that gives one up or refuses a file, against a store
// that does so on cue.
#include "ingest/ingest.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <optional>
#include <thread>

#include "cli/commands.h"
#include "ingest/runBounds.h"
#include "ingest/stationMarker.h"
#include "parse/logParser.h"
#include "testSupport.h"
#include "traceLogFormat.h"
#include "watch/treeWatch.h"

namespace fs = std::filesystem;
using namespace yield;
using yieldtest::TempDir;

namespace {

// Keeps runs by path in memory; what is committed survives a rollback, the rest does not.
class CueStore : public IngestStore {
public:
    std::map<std::string, std::string> committed;  // path -> "run" or the problem's reason
    std::string retryAt;                    // PutRun of this file's name gives the batch up, once
    std::string refuseAt;                   // PutRun of this file's name is refused, every time
    std::map<std::string, RunRecord> runs;  // by file name, as stored
    bool refuseCommit = false;
    int begins = 0;
    std::vector<long long> announced;  // the runs each committed batch announced

    void Begin() override {
        ++begins;
        pending_.clear();
    }
    void Commit() override {
        if (refuseCommit) throw StoreRefused("database: ERROR: value too long");
        committed.insert(pending_.begin(), pending_.end());
        pending_.clear();
        if (announcing_) announced.push_back(*announcing_);
        announcing_.reset();
    }
    void Rollback() override {
        pending_.clear();
        announcing_.reset();
    }
    void AnnounceChange(long long stored) override { announcing_ = stored; }
    bool KnownUnchanged(const SourceFile&) override { return false; }
    PutOutcome PutRun(const RunRecord& run, const SourceFile& file) override {
        std::string name = fs::path(file.path).filename().string();
        if (name == retryAt) {
            retryAt.clear();
            throw StoreRetry("database: ERROR: deadlock detected");
        }
        if (name == refuseAt) throw StoreRefused("database: ERROR: index row size 6048 exceeds");
        runs[name] = run;
        return pending_.emplace(file.path, "run").second ? PutOutcome::New : PutOutcome::Same;
    }
    void PutProblem(const SourceFile& file, const std::string& reason, bool) override {
        pending_[file.path] = reason;
    }

private:
    std::map<std::string, std::string> pending_;
    std::optional<long long> announcing_;
};

fs::path ThreeLogs(const TempDir& tmp) {
    std::string log = yieldtest::ReadAll(yieldtest::GoldenFlashLog("standard"));
    for (const char* name : {"a.log", "b.log", "c.log"}) {
        std::string run = log;
        run.replace(run.find("0x1A2B3C4D"), 10, std::string("0x00000") + name[0] + "00");
        yieldtest::WriteAll(tmp.path() / name, run);
    }
    return tmp.path();
}

}  // namespace

TEST(IngestBatches, GivenUpBatchIsRedoneAndCountedOnce) {
    TempDir tmp;
    CueStore store;
    store.retryAt = "b.log";
    IngestStats s = Ingest(store, {ThreeLogs(tmp).string()}, nullptr);
    EXPECT_EQ(store.begins, 2);
    EXPECT_EQ(s.runsNew, 3);
    EXPECT_EQ(s.read, 3);
    EXPECT_EQ(s.problems, 0);
    EXPECT_EQ(store.committed.size(), 3u);
}

TEST(IngestBatches, RefusedFileIsAProblemAndTheRestIsStored) {
    TempDir tmp;
    CueStore store;
    store.refuseAt = "b.log";
    IngestStats s = Ingest(store, {ThreeLogs(tmp).string()}, nullptr);
    EXPECT_EQ(s.runsNew, 2);
    ASSERT_EQ(s.problemList.size(), 1u);
    EXPECT_EQ(s.problemList[0].first, (tmp.path() / "b.log").string());
    EXPECT_EQ(s.problemList[0].second,
              "refused by the database: ERROR: index row size 6048 exceeds");
    EXPECT_EQ(store.committed[(tmp.path() / "b.log").string()], s.problemList[0].second);
    EXPECT_EQ(store.committed[(tmp.path() / "c.log").string()], "run");
}

// Rows refused at the batch's end name no file: the ingest stops instead of blaming files for
// ever.
TEST(IngestBatches, RefusalNoFileExplainsEndsTheIngest) {
    TempDir tmp;
    CueStore store;
    store.refuseCommit = true;
    EXPECT_THROW(Ingest(store, {ThreeLogs(tmp).string()}, nullptr), StoreError);
    EXPECT_LE(store.begins, 3);
    EXPECT_TRUE(store.committed.empty());
}

// Each batch that wrote announces the runs it stored, inside it: a batch given up and redone
// announces once; a batch of paths that are not there announces nothing.
TEST(IngestBatches, BatchesThatWroteAnnounceTheirRuns) {
    TempDir tmp;
    CueStore store;
    store.retryAt = "b.log";
    fs::path logs = ThreeLogs(tmp);
    yieldtest::WriteAll(logs / "empty.log", "");
    Ingest(store, {logs.string()}, nullptr);
    EXPECT_EQ(store.announced, std::vector<long long>{3});
    Ingest(store, {(tmp.path() / "gone").string()}, nullptr);
    EXPECT_EQ(store.announced, std::vector<long long>{3});
}

// Stopped before a batch: the batches before it are stored, nothing after.
TEST(IngestBatches, StopEndsTheIngestBetweenBatches) {
    TempDir tmp;
    for (long long i = 0; i <= kIngestBatch; ++i)
        yieldtest::WriteAll(tmp.path() / ("f" + std::to_string(100000 + i)), "not a log");
    CueStore store;
    int asked = 0;
    IngestOptions options;
    options.stop = [&asked] { return ++asked == 2; };
    EXPECT_THROW(Ingest(store, {tmp.path().string()}, options), IngestStopped);
    EXPECT_EQ(store.committed.size(), static_cast<size_t>(kIngestBatch));
    EXPECT_EQ(store.committed.count((tmp.path() / "f101000").string()), 0u);
    options.stop = [] { return true; };
    CueStore none;
    EXPECT_THROW(Ingest(none, {tmp.path().string()}, options), IngestStopped);
    EXPECT_EQ(none.begins, 0);
}

// Files found one by one: each takes its station from the markers up to its own root, files
// gone since and the markers themselves are passed over.
TEST(IngestBatches, FoundFilesTakeTheirRootsMarkersAndGoneOnesArePassedOver) {
    TempDir tmp;
    fs::path logs = ThreeLogs(tmp);
    yieldtest::WriteAll(logs / "sub" / kStationMarker, "fixture-B\n");
    yieldtest::WriteAll(logs / kStationMarker, "fixture-A\n");
    fs::rename(logs / "c.log", logs / "sub" / "c.log");
    std::string root = logs.string(), sub = (logs / "sub").string();
    CueStore store;
    IngestStats s = IngestFound(store,
                                {{root, root + "/a.log"},
                                 {sub, sub + "/c.log"},
                                 {root, root + "/gone.log"},
                                 {root, root + "/" + kStationMarker}},
                                IngestOptions{});
    EXPECT_EQ(s.total, 2);
    EXPECT_EQ(s.runsNew, 2);
    EXPECT_EQ(s.missing, 0);
    EXPECT_EQ(store.runs["a.log"].station, "fixture-A");
    EXPECT_EQ(store.runs["c.log"].station, "fixture-B");
    EXPECT_EQ(store.committed.size(), 2u);
}

// Under watch a log not whole yet (no verdict line, or empty) that was written to lately is held,
// not stored as an incomplete run; once quiet it is stored as it is. A whole log goes in at once.
TEST(IngestBatches, UnfinishedLogsWrittenLatelyAreHeldUntilQuiet) {
    TempDir tmp;
    std::string root = ThreeLogs(tmp).string(), half = root + "/half.log", empty = root + "/e";
    std::string log = yieldtest::ReadAll(yieldtest::GoldenFlashLog("standard"));
    yieldtest::WriteAll(half, log.substr(0, log.size() / 2));
    yieldtest::WriteAll(empty, "");
    IngestOptions options;
    options.holdUnfinished = std::chrono::seconds(60);
    const std::vector<FoundFile> files = {{root, root + "/a.log"}, {root, half}, {root, empty}};
    CueStore store;
    EXPECT_EQ(IngestFound(store, files, options).held, (std::vector<std::string>{half, empty}));
    EXPECT_EQ(store.committed.size(), 1u);
    for (const std::string& f : {half, empty})
        fs::last_write_time(f, fs::file_time_type::clock::now() - std::chrono::minutes(2));
    EXPECT_TRUE(IngestFound(store, files, options).held.empty());
    EXPECT_EQ(store.runs["half.log"].verdict, Verdict::Incomplete);
}

// Links to folders, link loops, broken links and FIFOs: `ingest` and `watch` (which finds files as
// its folders are watched) list the same files with the same words.
TEST(IngestWalk, IngestAndWatchListAWildPileAlike) {
    TempDir tmp;
    fs::path pile = tmp.path() / "pile";
    yieldtest::WriteAll(pile / "logs" / "notes.txt", "not a log");
    fs::create_directory_symlink(pile / "logs", pile / "logs-link");
    fs::create_symlink(pile / "loop", pile / "loop");
    fs::create_symlink(pile / "nowhere", pile / "broken");
    ASSERT_EQ(mkfifo((pile / "fifo").c_str(), 0600), 0);
    CueStore walked, watched;
    std::vector<FoundFile> found;
    TreeWatch(4).AddTree(pile.string(), [&](const std::string& f) {
        found.push_back({pile.string(), f});
    });
    auto listed = Ingest(walked, {pile.string()}, nullptr).problemList;
    auto followed = IngestFound(watched, found, IngestOptions{}).problemList;
    std::sort(listed.begin(), listed.end());
    std::sort(followed.begin(), followed.end());
    EXPECT_EQ(listed, followed);
    EXPECT_EQ(listed.size(), 5u);
}

namespace {

std::string StandardLog() { return yieldtest::ReadAll(yieldtest::GoldenFlashLog("standard")); }

// The standard log with its result document's text replaced by `doc`.
std::string WithDocument(const std::string& doc) {
    std::string log = StandardLog();
    size_t from = log.find("ok:{") + 3;
    size_t to = log.find(" !!!", from);
    return log.replace(from, to - from, doc);
}

std::string WithHost(const std::string& host) {
    std::string log = StandardLog();
    size_t from = log.find("hostname:bench1") + 9;
    return log.replace(from, 6, host);
}

}  // namespace

// A forged document listing far more ports than a board has: the run is stored with its verdict
// and no ports, and listed.
TEST(IngestBounds, ForgedPortListIsStoredWithItsVerdictAlone) {
    std::string doc = R"({"logDate":[{"name":"DO","info":[)";
    for (int i = 0; i < 400000; ++i) doc += i ? R"(,{"port":1})" : R"({"port":1})";
    doc += "]}]}";
    TempDir tmp;
    yieldtest::WriteAll(tmp.path() / "forged.log", WithDocument(doc));
    CueStore store;
    IngestStats s = Ingest(store, {tmp.path().string()}, nullptr);
    EXPECT_EQ(s.runsNew, 1);
    ASSERT_EQ(s.problemList.size(), 1u);
    const std::string& why = s.problemList[0].second;
    EXPECT_EQ(why.rfind(kStoredCut, 0), 0u) << why;
    EXPECT_NE(why.find("400000 ports"), std::string::npos) << why;
    EXPECT_NE(why.find("result document of"), std::string::npos) << why;
    const RunRecord& run = store.runs["forged.log"];
    EXPECT_EQ(run.verdict, Verdict::Ok);
    EXPECT_TRUE(run.ports.empty());
    EXPECT_TRUE(run.tallies.empty());
    EXPECT_TRUE(run.resultDoc.empty());
    EXPECT_EQ(run.host, "bench1");
}

// A port numbered past the 8-bit counter is as impossible as too many ports; a full board's list
// is stored as it is.
TEST(IngestBounds, PortNumberPastTheCounterDropsThePorts) {
    auto doc = [](int ports) {
        std::string d = R"({"logDate":[)";
        for (int f = 0; f < 7; ++f) {
            d += std::string(f ? "," : "") + R"({"name":"F)" + std::to_string(f) + R"(","info":[)";
            for (int i = 0; i < ports; ++i) d += i ? R"(,{"port":1})" : R"({"port":1})";
            d += "]}";
        }
        return d + "]}";
    };
    RunRecord full = ParseLog(WithDocument(doc(255))).run;
    EXPECT_TRUE(BoundRun(full).empty());
    EXPECT_EQ(full.ports.size(), 7u * 255u);
    RunRecord past = ParseLog(WithDocument(doc(256))).run;
    EXPECT_EQ(BoundRun(past).size(), 1u);
    EXPECT_TRUE(past.ports.empty());
}

// A host name of a megabyte is stored as its beginning and the whole name's checksum, as the
// board shortens its archive names; two such names differing only at the end stay apart.
TEST(IngestBounds, LongHostNamesAreShortenedWithTheirChecksum) {
    std::string longA(1 << 20, 'h'), longB = longA;
    longA.back() = 'A';
    longB.back() = 'B';
    TempDir tmp;
    yieldtest::WriteAll(tmp.path() / "a.log", WithHost(longA));
    yieldtest::WriteAll(tmp.path() / "b.log", WithHost(longB));
    CueStore store;
    IngestStats s = Ingest(store, {tmp.path().string()}, nullptr);
    EXPECT_EQ(s.runsNew, 2);
    ASSERT_EQ(s.problemList.size(), 2u);
    EXPECT_NE(s.problemList[0].second.find("host name of 1048576 bytes shortened"),
              std::string::npos)
        << s.problemList[0].second;
    const std::string& a = store.runs["a.log"].host;
    const std::string& b = store.runs["b.log"].host;
    EXPECT_EQ(a.size(), kMaxNameBytes);
    char tag[16];
    std::snprintf(tag, sizeof tag, "~%08X", tracefmt::NameChecksum(longA));
    EXPECT_EQ(a, std::string(kMaxNameBytes - 9, 'h') + tag);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.substr(0, 246), b.substr(0, 246));
}

TEST(IngestBounds, ShortValueCutsBetweenCharactersAndFreeTextsAreBounded) {
    EXPECT_EQ(tracefmt::NameChecksum("a"), 0xE40C292Cu);
    EXPECT_EQ(ShortValue("bench1", 255), "bench1");
    std::string euros = "a";
    for (int i = 0; i < 200; ++i) euros += "\xE2\x82\xAC";
    std::string shortened = ShortValue(euros, 255);
    EXPECT_EQ(shortened.size(), 1u + 81u * 3u + 9u);  // no character cut in half
    EXPECT_EQ(shortened.substr(0, 244), euros.substr(0, 244));

    RunRecord run;
    run.args = std::string(5000, 'x');
    run.measurements.resize(kMaxMeasurements + 5);
    run.measurements[0].line = std::string(3000, 'm');
    run.failures.resize(3);
    std::vector<std::string> cuts = BoundRun(run);
    EXPECT_EQ(cuts.size(), 3u);
    EXPECT_EQ(run.args.size(), kMaxTextBytes);
    EXPECT_EQ(run.measurements.size(), kMaxMeasurements);
    EXPECT_EQ(run.measurements[0].line.size(), kMaxTextBytes);
    EXPECT_EQ(run.failures.size(), 3u);
}

// A writer that holds the SQLite file's write lock past the busy timeout (10 s): the batch is
// tried again instead of the ingest ending with status 3.
TEST(IngestBatches, WriteLockHeldPastTheBusyTimeoutIsWaitedFor) {
    TempDir tmp;
    fs::path db = tmp.path() / "yield.db";
    ASSERT_EQ(
        yieldtest::Tool("ingest --db " + yieldtest::Q(db) + " " + yieldtest::Q(tmp.path() / "none"))
            .status,
        kExitNotFound);
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    yieldtest::Result ingest;
    std::thread run([&] {
        ingest =
            yieldtest::Tool("ingest --db " + yieldtest::Q(db) + " " + yieldtest::Q(ThreeLogs(tmp)));
    });
    std::this_thread::sleep_for(std::chrono::seconds(11));
    sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    run.join();
    EXPECT_EQ(ingest.status, 0) << ingest.out;
    EXPECT_NE(ingest.out.find("3 runs new"), std::string::npos) << ingest.out;
}
