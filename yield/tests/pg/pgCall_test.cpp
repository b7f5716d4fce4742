// A server that stops answering (its processes stopped): a reading command ends with status 3
// within the wait it was given, and `watch` ends at SIGTERM with nothing of its batch stored.
#include "store/pgCall.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "pgTestSupport.h"
#include "store/openStore.h"

using yieldtest::Q;
using yieldtest::TempDir;

namespace {

// Lets the server go on at the end, even when the test fails.
struct Thaw {
    yieldtest::OwnServer& server;
    ~Thaw() { server.Thaw(); }
};

// The tool's exit status, or -1 when it had not ended after `seconds` (it is then killed).
int EndsWithin(pid_t pid, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        int st = 0;
        if (waitpid(pid, &st, WNOHANG) == pid) return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid, SIGKILL);
    yieldtest::WaitTool(pid);
    return -1;
}

}  // namespace

// A setting a connection to the tests' server gets (PG* variables, or a URI on it).
std::string Setting(const std::string& conninfo, const char* show) {
    PGconn* c = yield::PgConnect(conninfo);
    yield::PgResult r = yield::PgCall(c, [show](PGconn* x) { return PQsendQuery(x, show); });
    std::string value = r && PQntuples(r.get()) == 1 ? PQgetvalue(r.get(), 0, 0) : "";
    PQfinish(c);
    return value;
}

std::string StatementTimeout(const std::string& conninfo) {
    return Setting(conninfo, "SHOW statement_timeout");
}

TEST(PgCall, TheStatementTimeoutGivesWayToTheUsers) {
    // Another writer's lock is given up well before the statement, so the batch is tried again.
    EXPECT_EQ(Setting("", "SHOW lock_timeout"), "10s");
    EXPECT_EQ(Setting("postgresql:///postgres?options=-c%20lock_timeout%3D2s", "SHOW lock_timeout"),
              "2s");
    EXPECT_EQ(StatementTimeout(""), "30s");
    EXPECT_EQ(StatementTimeout("postgresql:///postgres?options=-c%20statement_timeout%3D7s"), "7s");
    EXPECT_EQ(StatementTimeout("postgresql:///postgres?options=-c%20search_path%3Dpublic"), "30s");
}

TEST(PgCall, AServerThatStopsAnsweringEndsTheWaits) {
    TempDir tmp;
    yieldtest::OwnServer server;
    ASSERT_TRUE(server.ok());
    std::string url = server.Url("postgres");
    yieldtest::MakeRuns(tmp.path() / "logs", 0, 1, false);
    pid_t watch = yieldtest::StartTool("watch --db " + Q(url) + " " + Q(tmp.path() / "logs"),
                                       tmp.path() / "watch.out");
    long long stored = 0;
    for (int i = 0; i < 300 && stored < 1; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stored = yieldtest::StoredRuns(url);
    }
    ASSERT_EQ(stored, 1) << "the watch stored nothing";
    setenv(yield::kDbWaitEnvironment, "1", 1);
    auto store = yield::OpenReadStore(url);
    {
        ASSERT_EQ(server.Freeze(), 0);
        Thaw thaw{server};
        try {
            store->NewestRunIds(1);
            ADD_FAILURE() << "a server that does not answer gave an answer";
        } catch (const yield::StoreError& e) {
            EXPECT_NE(std::string(e.what()).find("did not answer within 1 s"), std::string::npos)
                << e.what();
        }
        store.reset();
        unsetenv(yield::kDbWaitEnvironment);
        yieldtest::Result report =
            yieldtest::Tool("report --db " + Q(url), "DEVUZE_YIELD_DB_WAIT=2 timeout 60 ");
        EXPECT_EQ(report.status, 3) << report.out;
        EXPECT_NE(report.out.find("did not answer within 2 s"), std::string::npos) << report.out;
        // A batch the server does not answer, given up at SIGTERM.
        yieldtest::MakeRuns(tmp.path() / "logs", 1, 1, false);
        std::this_thread::sleep_for(std::chrono::seconds(4));
        kill(watch, SIGTERM);
        EXPECT_EQ(EndsWithin(watch, 15), 0);
    }
    std::string said = yieldtest::ReadAll(tmp.path() / "watch.out");
    EXPECT_NE(said.find("did not answer"), std::string::npos) << said;
    EXPECT_EQ(yieldtest::StoredRuns(url), 1);
}
