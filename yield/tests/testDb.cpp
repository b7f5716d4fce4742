#include "testDb.h"

#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "testSupport.h"

namespace yieldtest {
namespace {

#ifdef YIELD_PG_HOST
// The server the test command started, whatever PG* variables the caller has: the tool the tests
// start inherits them too.
const bool kTestServer = [] {
    for (const char* v : {"PGPASSWORD", "PGSERVICE", "PGOPTIONS", "PGSSLMODE"}) unsetenv(v);
    setenv("PGHOST", YIELD_PG_HOST, 1);
    setenv("PGPORT", YIELD_PG_PORT, 1);
    setenv("PGUSER", "yield", 1);
    setenv("PGDATABASE", "postgres", 1);
    return true;
}();
#endif

const std::vector<std::string>& DumpQueries(bool withSources) {
    static const std::vector<std::string> runs = {
        "SELECT * FROM runs ORDER BY id", "SELECT * FROM run_ports ORDER BY 1,2,3",
        "SELECT * FROM port_tallies ORDER BY 1,2,3,4", "SELECT * FROM measurements ORDER BY 1,2",
        "SELECT * FROM failure_lines ORDER BY 1,2", "SELECT * FROM run_causes ORDER BY 1,2"};
    static const std::vector<std::string> all = [] {
        std::vector<std::string> q = runs;
        q.push_back("SELECT * FROM source_files ORDER BY path");
        return q;
    }();
    return withSources ? all : runs;
}

class SqliteDb : public TestDb {
public:
    std::string Url() const override { return (dir_.path() / "y.db").string(); }
    std::string Dump(bool withSources) override {
        std::string out;
        for (const std::string& q : DumpQueries(withSources)) Query(q, out);
        return out;
    }
    long long Count(const std::string& query) override {
        std::string out;
        Query(query, out);
        return std::stoll(out);
    }
    std::string Rows(const std::string& statements) override {
        std::string out;
        Query(statements, out);
        return out;
    }

private:
    void Query(const std::string& q, std::string& out) const {
        sqlite3* h = nullptr;
        sqlite3_open(Url().c_str(), &h);
        auto add = [](void* o, int n, char** vals, char**) {
            auto* s = static_cast<std::string*>(o);
            for (int i = 0; i < n; ++i) *s += (vals[i] ? vals[i] : "NULL") + std::string("|");
            *s += "\n";
            return 0;
        };
        char* err = nullptr;
        int rc = sqlite3_exec(h, q.c_str(), add, &out, &err);
        std::string why = err != nullptr ? err : "";
        sqlite3_free(err);
        sqlite3_close(h);
        if (rc != SQLITE_OK) throw std::runtime_error(q + ": " + why);
    }
    TempDir dir_;
};

PGconn* Connect(const std::string& conninfo) {
    PGconn* c = PQconnectdb(conninfo.c_str());
    if (PQstatus(c) != CONNECTION_OK) {
        std::string why = PQerrorMessage(c);
        PQfinish(c);
        throw std::runtime_error("test server: " + why);
    }
    return c;
}

void Run(PGconn* c, const std::string& q, std::string* out = nullptr) {
    PGresult* r = PQexec(c, q.c_str());
    ExecStatusType st = PQresultStatus(r);
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK) {
        std::string why = PQresultErrorMessage(r);
        PQclear(r);
        throw std::runtime_error(q + ": " + why);
    }
    for (int row = 0; out != nullptr && row < PQntuples(r); ++row) {
        for (int col = 0; col < PQnfields(r); ++col) {
            *out += PQgetisnull(r, row, col) ? "NULL" : PQgetvalue(r, row, col);
            *out += "|";
        }
        *out += "\n";
    }
    PQclear(r);
}

constexpr char kAdmin[] = "dbname=postgres options='-c client_min_messages=warning'";

class PgDb : public TestDb {
public:
    PgDb() {
        if (getenv("PGHOST") == nullptr)
            throw std::runtime_error(
                "no test server: PGHOST is not set (the test command sets it)");
        static std::atomic<int> made{0};
        name_ = "yield_test_" + std::to_string(getpid()) + "_" + std::to_string(made++);
        PGconn* admin = Connect(kAdmin);
        Run(admin, "DROP DATABASE IF EXISTS " + name_);
        Run(admin, "CREATE DATABASE " + name_);
        PQfinish(admin);
    }
    ~PgDb() override {
        try {
            PGconn* admin = Connect(kAdmin);
            Run(admin, "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
            PQfinish(admin);
        } catch (const std::exception&) {
            // a server stopped by the test: the cluster goes at the end anyway
        }
    }
    std::string Url() const override { return "postgresql:///" + name_; }
    std::string Dump(bool withSources) override {
        PGconn* c = Connect("dbname=" + name_);
        std::string out;
        for (const std::string& q : DumpQueries(withSources)) Run(c, q, &out);
        PQfinish(c);
        return out;
    }
    long long Count(const std::string& query) override {
        PGconn* c = Connect("dbname=" + name_);
        std::string out;
        Run(c, query, &out);
        PQfinish(c);
        return std::stoll(out);
    }
    std::string Rows(const std::string& statements) override {
        PGconn* c = Connect("dbname=" + name_);
        std::string out;
        try {
            Run(c, statements, &out);
        } catch (...) {
            PQfinish(c);
            throw;
        }
        PQfinish(c);
        return out;
    }

private:
    std::string name_;
};

}  // namespace

std::unique_ptr<TestDb> TestDb::Make(const std::string& engine) {
    if (engine == "postgresql") return std::make_unique<PgDb>();
    if (engine == "sqlite") return std::make_unique<SqliteDb>();
    throw std::invalid_argument("no engine " + engine);
}

namespace {

void SetVersion(TestDb& db, int version) {
    const bool sqlite = db.Url().rfind("postgresql", 0) != 0;
    std::string v = std::to_string(version);
    db.Rows(sqlite ? "PRAGMA user_version = " + v
                   : "DELETE FROM yield_schema; INSERT INTO yield_schema VALUES (" + v + ")");
}

}  // namespace

void BackToVersionSix(TestDb& db) {
    db.Rows("DROP TABLE day_boards; DROP INDEX boards_notable");
    SetVersion(db, 6);
}

void BackToVersionFive(TestDb& db) {
    BackToVersionSix(db);
    db.Rows("DROP TABLE run_causes");
    SetVersion(db, 5);
}

void BackToVersionFour(TestDb& db) {
    BackToVersionFive(db);
    db.Rows("DROP TABLE boards; DROP TABLE day_runs; DROP INDEX runs_failed;"
            " DROP INDEX runs_clock_unset");
    SetVersion(db, 4);
}

void BackToVersionThree(TestDb& db) {
    BackToVersionFour(db);
    db.Rows("DROP TABLE day_ports; DROP TABLE day_volts");
    SetVersion(db, 3);
}

void BackToVersionTwo(TestDb& db) {
    BackToVersionThree(db);
    db.Rows("DROP VIEW v_dispositions; DROP VIEW v_repair_queue; DROP VIEW v_measurements;"
            " DROP VIEW v_ports; DROP VIEW v_runs; DROP TABLE dispositions; DROP TABLE alarms;"
            " ALTER TABLE runs DROP COLUMN clock_unset");
    SetVersion(db, 2);
}

}  // namespace yieldtest
