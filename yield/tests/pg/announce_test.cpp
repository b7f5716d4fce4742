// The notification every ingest batch that wrote sends on PostgreSQL: on its channel, with the
// number of runs the batch stored, delivered only once the batch commits.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <poll.h>

#include <chrono>
#include <vector>

#include "pgTestSupport.h"
#include "store/sqlText.h"
#include "testDb.h"

using yieldtest::Q;
using yieldtest::TempDir;

namespace {

constexpr int kDeliveryMs = 10000;

// The payloads that came on the channel within `ms` of waiting for the first.
std::vector<std::string> Payloads(PGconn* conn, int ms) {
    std::vector<std::string> got;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (got.empty() && std::chrono::steady_clock::now() < end) {
        pollfd p{PQsocket(conn), POLLIN, 0};
        poll(&p, 1, 100);
        PQconsumeInput(conn);
        while (PGnotify* n = PQnotifies(conn)) {
            if (std::string(n->relname) == yield::sql::kRunsChannel) got.emplace_back(n->extra);
            PQfreemem(n);
        }
    }
    return got;
}

TEST(Announce, EachBatchThatWroteSaysHowManyRunsItStored) {
    TempDir tmp;
    yieldtest::MakeRuns(tmp.path() / "a", 0, 3, false);
    auto pg = yieldtest::TestDb::Make("postgresql");
    ASSERT_EQ(yieldtest::Tool("ingest --db " + Q(pg->Url()) + " " + Q(tmp.path() / "none")).status,
              1);  // makes the tables, stores nothing
    PGconn* conn = PQconnectdb(pg->Url().c_str());
    ASSERT_EQ(PQstatus(conn), CONNECTION_OK) << PQerrorMessage(conn);
    PQclear(PQexec(conn, yield::sql::kPgListen));

    ASSERT_EQ(yieldtest::Tool("ingest --db " + Q(pg->Url()) + " " + Q(tmp.path())).status, 0);
    EXPECT_EQ(Payloads(conn, kDeliveryMs), std::vector<std::string>{"3"});
    // A cut copy and one new run: one stored, the copy only recorded.
    yieldtest::MakeRuns(tmp.path() / "b", 2, 1, true);
    yieldtest::MakeRuns(tmp.path() / "b", 3, 1, false);
    ASSERT_EQ(yieldtest::Tool("ingest --db " + Q(pg->Url()) + " " + Q(tmp.path() / "b")).status, 0);
    EXPECT_EQ(Payloads(conn, kDeliveryMs), std::vector<std::string>{"1"});
    ASSERT_EQ(yieldtest::Tool("ingest --db " + Q(pg->Url()) + " " + Q(tmp.path())).status, 0);
    EXPECT_EQ(Payloads(conn, 500), std::vector<std::string>{});
    PQfinish(conn);
}

}  // namespace
