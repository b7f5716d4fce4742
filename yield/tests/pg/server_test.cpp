// What a factory's server can answer besides rows: a refused login, no server, a database that
// cannot hold every byte, a schema from a newer tool. Each ends the command with one line and
// status 3, and nothing is written.
#include <gtest/gtest.h>

#include "pgTestSupport.h"
#include "store/sqlText.h"
#include "testDb.h"

namespace fs = std::filesystem;
using yieldtest::Q;
using yieldtest::Result;
using yieldtest::TempDir;
using yieldtest::TestDb;
using yieldtest::Tool;

namespace {

void ExpectOneLineAndStatus3(const Result& r, const std::string& says) {
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    EXPECT_NE(r.out.find(says), std::string::npos) << r.out;
}

}  // namespace

TEST(PgServer, RefusedLoginMissingServerWrongEncodingNewerSchema) {
    TempDir tmp;
    std::string golden = " " + Q(yieldtest::GoldenFlashLog("standard"));
    auto db = TestDb::Make("postgresql");
    ExpectOneLineAndStatus3(Tool("ingest --db 'postgresql://nobody_here@/postgres'" + golden),
                            "role \"nobody_here\" does not exist");
    ExpectOneLineAndStatus3(Tool("report --db " + Q("postgresql:///x?host=" + tmp.path().string())),
                            "cannot connect to database: connection to server on socket");
    ExpectOneLineAndStatus3(Tool("report --db " + Q(db->Url())), "database has no runs yet");
    Result typo = Tool("ingest --db postgresql:yield:secret@host/db" + golden);
    ExpectOneLineAndStatus3(typo, "a server is named postgresql://... or postgresql: alone");
    EXPECT_EQ(typo.out.find("secret"), std::string::npos);

    std::string latin = "yield_latin1_" + std::to_string(getpid());
    ASSERT_EQ(std::system(("psql -q -d postgres -c \"CREATE DATABASE " + latin +
                           " ENCODING 'LATIN1' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0\"")
                              .c_str()),
              0);
    ExpectOneLineAndStatus3(Tool("ingest --db postgresql:///" + latin + golden),
                            "encoding LATIN1 cannot hold every log's text");
    std::system(("psql -q -d postgres -c 'DROP DATABASE " + latin + "'").c_str());

    ASSERT_EQ(Tool("ingest --db " + Q(db->Url()) + golden).status, 0);
    std::string newer = "psql -q -d " + db->Url().substr(std::string("postgresql:///").size()) +
                        " -c 'UPDATE yield_schema SET version = 99'";
    ASSERT_EQ(std::system(newer.c_str()), 0);
    ExpectOneLineAndStatus3(Tool("ingest --db " + Q(db->Url()) + golden),
                            "database schema version 99 is newer than this tool's " +
                                std::to_string(yield::sql::kSchemaVersion));
}

// A forged 6,000-byte host name is shortened before it reaches the server's index; a file whose
// very path is past what the index holds is listed with the server's reason, and every other run
// is stored.
TEST(PgServer, AFileTheServerRefusesIsListedAndTheRestStored) {
    TempDir tmp;
    std::string log = yieldtest::ReadAll(yieldtest::GoldenFlashLog("standard"));
    std::string host;
    for (unsigned i = 0; host.size() < 6000; ++i) host += std::to_string(i * 2654435761U);
    size_t at = log.find("hostname:bench1");
    yieldtest::WriteAll(tmp.path() / "in" / "forged.log",
                        std::string(log).replace(at + 9, 6, host));
    fs::path deep = tmp.path() / "in";
    for (int level = 0; deep.string().size() < 3200; ++level)
        deep /= std::to_string(level) + host.substr(level * 200, 200);
    yieldtest::WriteAll(deep / "deep.log", log);
    yieldtest::MakeRuns(tmp.path() / "in" / "good", 0, 3, false);

    auto db = TestDb::Make("postgresql");
    Result r = Tool("ingest --db " + Q(db->Url()) + " " + Q(tmp.path() / "in"));
    EXPECT_EQ(r.status, 0) << r.out;
    // A host name past what a board gives is shortened before the server sees it.
    EXPECT_NE(r.out.find("noted " + (tmp.path() / "in" / "forged.log").string() +
                         ": stored cut to bounds: host name of 6001 bytes shortened"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("deep.log: refused by the database: ERROR: index row size"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("5 files, 4 runs new, 0 replaced, 0 copies, 0 unchanged, 2 problems"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(db->Count("SELECT count(*) FROM runs"), 4);
    // The path the index cannot hold is only listed.
    EXPECT_EQ(db->Count("SELECT count(*) FROM source_files WHERE role = 'problem'"), 0);
}
