#include "store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "ingest.h"
#include "testSupport.h"

namespace fs = std::filesystem;
using namespace yield;
using yieldtest::TempDir;

namespace {

// Every row of every table, in a fixed order, as text.
std::string Dump(const fs::path& db, bool withSources = true) {
    sqlite3* h = nullptr;
    sqlite3_open(db.c_str(), &h);
    std::string out;
    auto add = [](void* o, int n, char** vals, char**) {
        auto* s = static_cast<std::string*>(o);
        for (int i = 0; i < n; ++i) *s += (vals[i] ? vals[i] : "NULL") + std::string("|");
        *s += "\n";
        return 0;
    };
    std::vector<std::string> queries = {
        "SELECT * FROM runs ORDER BY id", "SELECT * FROM run_ports ORDER BY 1,2,3",
        "SELECT * FROM port_tallies ORDER BY 1,2,3,4", "SELECT * FROM measurements ORDER BY 1,2",
        "SELECT * FROM failure_lines ORDER BY 1,2"};
    if (withSources) queries.push_back("SELECT * FROM source_files ORDER BY path");
    for (const std::string& q : queries) sqlite3_exec(h, q.c_str(), add, &out, nullptr);
    sqlite3_close(h);
    return out;
}

IngestStats IngestPaths(const fs::path& db, const std::vector<std::string>& paths) {
    auto store = OpenSqliteStore(db.string(), true);
    return Ingest(*store, paths, nullptr);
}

std::string Kept(RunStore& store, long long id) {
    for (const SourceRow& s : store.SourcesOf(id)) {
        if (s.role == "kept") return s.path;
    }
    return "";
}

}  // namespace

TEST(Store, IngestingTheSameFoldersTwiceChangesNothing) {
    TempDir tmp;
    fs::path db = tmp.path() / "y.db";
    IngestStats first = IngestPaths(db, {YIELD_GOLDEN_DIR});
    EXPECT_GT(first.runsNew, 5);
    EXPECT_GT(first.copies, first.runsNew);
    std::string before = Dump(db);
    std::string runsBefore = Dump(db, false);
    IngestStats again = IngestPaths(db, {YIELD_GOLDEN_DIR});
    EXPECT_EQ(again.runsNew + again.replaced + again.copies, 0);
    EXPECT_EQ(Dump(db), before);

    // Copied elsewhere with fresh times: only new source rows, the runs stay as they were.
    fs::copy(fs::path(YIELD_GOLDEN_DIR) / "standard", tmp.path() / "stick",
             fs::copy_options::recursive);
    IngestStats copies = IngestPaths(db, {(tmp.path() / "stick").string()});
    EXPECT_EQ(copies.runsNew + copies.replaced, 0);
    EXPECT_GT(copies.copies, 0);
    EXPECT_EQ(Dump(db, false), runsBefore);
}

TEST(Store, SameRunInSeveralCopiesIsOneRunWithItsFiles) {
    TempDir tmp;
    fs::path db = tmp.path() / "y.db";
    IngestPaths(db, {(fs::path(YIELD_GOLDEN_DIR) / "dio-stuck-di5-0").string()});
    auto store = OpenSqliteStore(db.string(), false);
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

TEST(Store, ShortCopyNeverReplacesAWholeOne) {
    TempDir tmp;
    std::string whole = yieldtest::ReadAll(yieldtest::GoldenFlashLog("standard"));
    fs::path wholePath = tmp.path() / "a" / "whole.log";
    fs::path shortPath = tmp.path() / "b" / "pulled.log";
    yieldtest::WriteAll(wholePath, whole);
    yieldtest::WriteAll(shortPath, whole.substr(0, whole.size() / 2));

    // Whole first, then the short copy: the whole one stays.
    fs::path db1 = tmp.path() / "1.db";
    IngestPaths(db1, {wholePath.string()});
    IngestStats s1 = IngestPaths(db1, {shortPath.string()});
    EXPECT_EQ(s1.copies, 1);
    // Short first, then the whole copy: the whole one takes over.
    fs::path db2 = tmp.path() / "2.db";
    IngestPaths(db2, {shortPath.string()});
    IngestStats s2 = IngestPaths(db2, {wholePath.string()});
    EXPECT_EQ(s2.replaced, 1);
    IngestPaths(db2, {shortPath.string()});

    for (const fs::path& db : {db1, db2}) {
        auto store = OpenSqliteStore(db.string(), false);
        std::vector<long long> ids = store->RunIdsOfChip("0x1A2B3C4D");
        ASSERT_EQ(ids.size(), 1u);
        EXPECT_EQ(store->LoadRun(ids[0]).verdict, Verdict::Ok);
        EXPECT_EQ(Kept(*store, ids[0]), wholePath.string());
        EXPECT_EQ(store->SourcesOf(ids[0]).size(), 2u);
    }
    EXPECT_EQ(Dump(db1, false), Dump(db2, false));
}

TEST(Store, EmptyForeignAndMissingFilesAreListedNotFatal) {
    TempDir tmp;
    yieldtest::WriteAll(tmp.path() / "in" / "empty.log", "");
    yieldtest::WriteAll(tmp.path() / "in" / "notes.txt", "not a log\n");
    yieldtest::WriteAll(tmp.path() / "in" / "deep" / "er" / "renamed.txt",
                        yieldtest::ReadAll(yieldtest::GoldenFlashLog("usb-none")));
    IngestStats s = IngestPaths(tmp.path() / "y.db", {(tmp.path() / "in").string(),
                                                      (tmp.path() / "gone").string(), "/dev/null"});
    EXPECT_EQ(s.runsNew, 1);
    EXPECT_EQ(s.problems, 4);
    std::map<std::string, std::string> reasons(s.problemList.begin(), s.problemList.end());
    EXPECT_EQ(reasons[(tmp.path() / "in" / "empty.log").string()], "empty file");
    EXPECT_EQ(reasons[(tmp.path() / "in" / "notes.txt").string()], "not a trace log");
    EXPECT_EQ(reasons[(tmp.path() / "gone").string()], "no such file or folder");
    EXPECT_EQ(reasons["/dev/null"], "not a regular file");
    auto store = OpenSqliteStore((tmp.path() / "y.db").string(), false);
    EXPECT_EQ(store->ProblemFiles().size(), 3u);
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
    EXPECT_EQ(s.total, 5);
    std::map<std::string, std::string> reasons(s.problemList.begin(), s.problemList.end());
    EXPECT_EQ(reasons[(in / "pipe").string()], "not a regular file");
    EXPECT_EQ(reasons[(in / "dangling").string()].rfind("cannot read: ", 0), 0u);
    EXPECT_EQ(reasons[(in / "loop-a").string()].rfind("cannot read: ", 0), 0u);
    EXPECT_EQ(reasons.size(), 4u);
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
    first->PutProblem(junk, "not a trace log");  // holds the write lock until its commit
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
