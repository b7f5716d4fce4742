// What the line screen reads from a store of golden runs: the change signal, the dashboard, the
// board page and the report page's selections.
#include "serve/pages.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "ingest/ingest.h"
#include "report/escape.h"
#include "report/readReport.h"
#include "report/screenJson.h"
#include "store/changeWatcher.h"
#include "store/openStore.h"
#include "testSupport.h"

using namespace yield;
using yieldtest::GoldenFlashLog;
using yieldtest::TempDir;

namespace {

constexpr char kDay[] = "2026-12-07";
constexpr char kChip[] = "0x1A2B3C4D";
constexpr char kQuotedHost[] = "bench\";touch pwned;\"";

class ServeStore : public ::testing::Test {
protected:
    void SetUp() override {
        db_ = (tmp_.path() / "y.db").string();
        OpenStore(db_, true);
    }
    void IngestGolden(const std::string& scenario, const std::string& station) {
        auto store = OpenStore(db_, true);
        Ingest(*store, {GoldenFlashLog(scenario).string()}, nullptr, {}, station);
    }
    Page Report(const std::map<std::string, std::string>& query) {
        return ReportPage(*OpenReadStore(db_), query, kDay, db_);
    }
    TempDir tmp_;
    std::string db_;
};

void WriteProc(const char* path, const std::string& text) {
    if (FILE* f = std::fopen(path, "w")) {
        std::fputs(text.c_str(), f);
        std::fclose(f);
    }
}

// True when the change source of `db` gives a version in a child process that sees the
// database's folder on a read-only mount.
bool VersionOnReadOnlyMount(const std::string& db) {
    std::string dir = std::filesystem::path(db).parent_path().string();
    pid_t pid = fork();
    if (pid == 0) {
        std::string uid = "0 " + std::to_string(getuid()) + " 1";
        std::string gid = "0 " + std::to_string(getgid()) + " 1";
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) _exit(2);
        WriteProc("/proc/self/setgroups", "deny");
        WriteProc("/proc/self/uid_map", uid);
        WriteProc("/proc/self/gid_map", gid);
        if (mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            _exit(2);
        try {
            OpenChangeWatcher(db)->Version();
            _exit(0);
        } catch (...) {
            _exit(1);
        }
    }
    int st = -1;
    return waitpid(pid, &st, 0) == pid && WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

}  // namespace

TEST_F(ServeStore, ChangeWatcherReadsWhatTheReportsCanRead) {
    IngestGolden("standard", "s1");
    // No WAL index can be made there: the file is read as it stands.
    EXPECT_TRUE(VersionOnReadOnlyMount(db_)) << "a reader without write access and no writer";
    yieldtest::WriteAll(db_ + "-shm", "abc");  // left by a reader on a full disk
    EXPECT_TRUE(VersionOnReadOnlyMount(db_)) << "a damaged -shm file";
}

TEST_F(ServeStore, ChangeWatcherFollowsAFileReplacedUnderIt) {
    IngestGolden("standard", "s1");
    auto changes = OpenChangeWatcher(db_);
    std::string before = changes->Version();
    std::string other = (tmp_.path() / "other.db").string();
    std::filesystem::copy_file(db_, other);
    std::filesystem::rename(other, db_);  // the same figures, in another file
    std::string after = changes->Version();
    EXPECT_NE(after, before);
    EXPECT_EQ(changes->Version(), after);
    IngestGolden("dio-stuck-di5-0", "s2");
    EXPECT_NE(changes->Version(), after) << "the new file's commits are seen";
}

TEST_F(ServeStore, ChangeWatcherMovesWithEachCommitOnly) {
    auto changes = OpenChangeWatcher(db_);
    std::string empty = changes->Version();
    EXPECT_EQ(changes->Version(), empty);
    IngestGolden("standard", "s1");
    std::string one = changes->Version();
    EXPECT_NE(one, empty);
    IngestGolden("standard", "s1");  // the same file again: nothing stored
    EXPECT_EQ(changes->Version(), one);
    IngestGolden("dio-stuck-di5-0", "s2");
    EXPECT_NE(changes->Version(), one);
}

TEST_F(ServeStore, DashboardOfTheDay) {
    IngestGolden("standard", "s1");
    IngestGolden("dio-stuck-di5-0", "s2");
    ReportModel d = ReadReport(*OpenReadStore(db_), DayFilter(kDay), ScreenReading(10));
    ASSERT_EQ(d.latest.size(), 2u);
    EXPECT_EQ(d.latest[0].station, "s2");  // newest stored first
    EXPECT_EQ(d.latest[0].failing, "DI-5");
    EXPECT_EQ(d.summary.runs, 2);
    ASSERT_EQ(d.hours.size(), 1u);  // one board, first tested on s1 at 12
    EXPECT_EQ(d.hours[0].hour, 12);
    nlohmann::json j = ScreenJson(d);
    EXPECT_EQ(j["day"], kDay);
    EXPECT_EQ(j["latest"].size(), 2u);
    EXPECT_EQ(j["repairs"].size(), 1u);  // its last complete run failed
    EXPECT_EQ(j["repairs_total"], 1);
    // A long queue: its head is listed, all of it counted.
    d.repairs.resize(kScreenRepairs + 7, d.repairs.front());
    j = ScreenJson(d);
    EXPECT_EQ(j["repairs"].size(), kScreenRepairs);
    EXPECT_EQ(j["repairs_total"], kScreenRepairs + 7);

    ReportModel other = ReadReport(*OpenReadStore(db_), DayFilter("2026-12-08"), ScreenReading(10));
    EXPECT_EQ(other.summary.runs, 0);
    EXPECT_TRUE(other.hours.empty());
    EXPECT_EQ(other.latest.size(), 2u);  // the latest runs of any day
}

TEST_F(ServeStore, BoardPageEscapesWhatTheLogsSay) {
    IngestGolden("hostname-quote", "");
    Page p = BoardPage(*OpenReadStore(db_), kChip);
    EXPECT_NE(p.body.find(HtmlEscape(kQuotedHost)), std::string::npos);
    EXPECT_EQ(p.body.find(kQuotedHost), std::string::npos);
    EXPECT_THROW(BoardPage(*OpenReadStore(db_), "0xDEAD"), NothingFound);
    // As `board` finds it: in another case, without its 0x.
    EXPECT_NE(BoardPage(*OpenReadStore(db_), "1a2b3c4d").body.find(HtmlEscape(kQuotedHost)),
              std::string::npos);
}

TEST_F(ServeStore, ReportPageTakesTheCommandLinesSelections) {
    IngestGolden("standard", "s1");
    IngestGolden("dio-stuck-di5-0", "s2");
    auto json = nlohmann::json::parse(Report({{"format", "json"}, {"station", "s2"}}).body);
    EXPECT_EQ(json["summary"]["runs"], 1);
    EXPECT_EQ(Report({{"format", "csv"}, {"table", "pareto"}}).contentType.rfind("text/csv", 0),
              0u);
    EXPECT_EQ(Report({{"today", "1"}}).contentType.rfind("text/plain", 0), 0u);
    try {
        Report({{"station", "nowhere"}});
        ADD_FAILURE() << "an empty selection answered";
    } catch (const NothingFound& e) {
        // As the command line says it, with what there is.
        EXPECT_STREQ(e.what(),
                     "no stored run matches station nowhere; the stations stored: s1, s2");
    }
    EXPECT_THROW(Report({{"days", "2"}, {"since", "2026-12-01"}}), BadRequest);
    for (const char* bad : {"0", "36501", "x", "1e3", "+7", "99999999999"})
        EXPECT_THROW(Report({{"days", bad}}), BadRequest) << bad;
    EXPECT_EQ(Report({{"days", "36500"}}).contentType.rfind("text/plain", 0), 0u);  // as the CLI
    EXPECT_THROW(Report({{"since", "2026-13-01"}}), BadRequest);
    EXPECT_THROW(Report({{"format", "xml"}}), BadRequest);
    EXPECT_THROW(Report({{"format", "csv"}, {"table", "nope"}}), BadRequest);
}

// A serve that starts by mistake is ended by the timeout, and fails the test.
constexpr char kBounded[] = "timeout 20 ";

TEST_F(ServeStore, RefusesBeforeServingWhatItCannotServe) {
    yieldtest::Result r = yieldtest::Tool("serve --db " + db_ + " --listen nowhere", kBounded);
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.out.find("--listen takes ADDR:PORT"), std::string::npos) << r.out;
    r = yieldtest::Tool("serve --db " + db_ + " --day 2026-02-30 --listen 127.0.0.1:0", kBounded);
    EXPECT_EQ(r.status, 2) << r.out;
    // A database not made yet is no mistake: serve waits for it, serving the page meanwhile
    // (ended here by the timeout, status 124), and never makes it.
    r = yieldtest::Tool(
        "serve --db " + (tmp_.path() / "none.db").string() + " --listen 127.0.0.1:0", "timeout 2 ");
    EXPECT_EQ(r.status, 124) << r.out;
    EXPECT_NE(r.out.find("waiting for the database: cannot open database"), std::string::npos)
        << r.out;
    EXPECT_FALSE(std::filesystem::exists(tmp_.path() / "none.db"));
}
