// How an ingest's batches meet a database that gives one up or refuses a file, against a store
// that does so on cue.
#include "ingest.h"

#include <gtest/gtest.h>

#include <map>

#include "testSupport.h"

namespace fs = std::filesystem;
using namespace yield;
using yieldtest::TempDir;

namespace {

// Keeps runs by path in memory; what is committed survives a rollback, the rest does not.
class CueStore : public RunStore {
public:
    std::map<std::string, std::string> committed;  // path -> "run" or the problem's reason
    std::string retryAt;   // PutRun of this file's name gives the batch up, once
    std::string refuseAt;  // PutRun of this file's name is refused, every time
    bool refuseCommit = false;
    int begins = 0;

    void Begin() override {
        ++begins;
        pending_.clear();
    }
    void Commit() override {
        if (refuseCommit) throw StoreRefused("database: ERROR: value too long");
        committed.insert(pending_.begin(), pending_.end());
        pending_.clear();
    }
    void Rollback() override { pending_.clear(); }
    bool KnownUnchanged(const SourceFile&) override { return false; }
    PutOutcome PutRun(const RunRecord&, const SourceFile& file) override {
        std::string name = fs::path(file.path).filename().string();
        if (name == retryAt) {
            retryAt.clear();
            throw StoreRetry("database: ERROR: deadlock detected");
        }
        if (name == refuseAt) throw StoreRefused("database: ERROR: index row size 6048 exceeds");
        return pending_.emplace(file.path, "run").second ? PutOutcome::New : PutOutcome::Same;
    }
    void PutProblem(const SourceFile& file, const std::string& reason, bool) override {
        pending_[file.path] = reason;
    }
    void ForEachRun(const RunFilter&, const std::function<void(const RunSummary&)>&) override {}
    void ForEachVoltReading(const RunFilter&,
                            const std::function<void(const NamedValue&, long long)>&) override {}
    std::vector<long long> RunIds(const RunFilter&) override { return {}; }
    long long CountRunsWithoutDay(const RunFilter&) override { return 0; }
    std::vector<long long> RunIdsOfChip(const std::string&) override { return {}; }
    RunRecord LoadRun(long long) override { return {}; }
    std::vector<SourceRow> SourcesOf(long long) override { return {}; }
    std::vector<SourceRow> ProblemFiles() override { return {}; }

private:
    std::map<std::string, std::string> pending_;
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
