#include "changeSource.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include "store.h"

namespace yield {
namespace {

constexpr char kCounts[] =
    "SELECT coalesce(max(id), 0), count(*), (SELECT count(*) FROM source_files) FROM runs";
constexpr char kDataVersion[] = "PRAGMA data_version";
constexpr char kPgPrefix[] = "postgresql:";
constexpr char kPgUri[] = "postgresql://";
constexpr char kPgShortUri[] = "postgres://";
constexpr char kCannotWatch[] = "cannot watch the database: ";
constexpr int kBusyMs = 2000;
constexpr char kSeparator = '/';

bool NamesServer(const std::string& db) {
    return db.rfind(kPgUri, 0) == 0 || db.rfind(kPgShortUri, 0) == 0 || db == kPgPrefix;
}

class SqliteChanges : public ChangeSource {
public:
    explicit SqliteChanges(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            std::string why = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            throw StoreError(kCannotWatch + why);
        }
        sqlite3_busy_timeout(db_, kBusyMs);
    }
    ~SqliteChanges() override { sqlite3_close(db_); }
    SqliteChanges(const SqliteChanges&) = delete;
    SqliteChanges& operator=(const SqliteChanges&) = delete;

    std::string Version() override { return Row(kDataVersion) + kSeparator + Row(kCounts); }

private:
    [[noreturn]] void Fail() {
        std::string why = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
        throw StoreError(kCannotWatch + why);
    }
    // The first row's columns joined.
    std::string Row(const char* text) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, text, -1, &st, nullptr) != SQLITE_OK) Fail();
        std::string out;
        if (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                out += std::to_string(sqlite3_column_int64(st, i)) + kSeparator;
        }
        int rc = sqlite3_finalize(st);
        if (rc != SQLITE_OK) Fail();
        return out;
    }
    sqlite3* db_ = nullptr;
};

class PgChanges : public ChangeSource {
public:
    explicit PgChanges(const std::string& db)
        : conn_(PQconnectdb(db == kPgPrefix ? "" : db.c_str())) {
        if (PQstatus(conn_) == CONNECTION_OK) return;
        std::string why = PQerrorMessage(conn_);
        PQfinish(conn_);
        throw StoreError(kCannotWatch + why);
    }
    ~PgChanges() override { PQfinish(conn_); }
    PgChanges(const PgChanges&) = delete;
    PgChanges& operator=(const PgChanges&) = delete;

    std::string Version() override {
        if (PQstatus(conn_) != CONNECTION_OK) PQreset(conn_);
        PGresult* r = PQexec(conn_, kCounts);
        bool ok = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1;
        std::string out;
        for (int i = 0; ok && i < PQnfields(r); ++i)
            out += PQgetvalue(r, 0, i) + std::string(1, kSeparator);
        PQclear(r);
        if (!ok) Fail();
        return out;
    }

private:
    [[noreturn]] void Fail() {
        throw StoreError(kCannotWatch + std::string(PQerrorMessage(conn_)));
    }
    PGconn* conn_;
};

}  // namespace

std::unique_ptr<ChangeSource> OpenPollingChangeSource(const std::string& db) {
    if (NamesServer(db)) return std::make_unique<PgChanges>(db);
    return std::make_unique<SqliteChanges>(db);
}

}  // namespace yield
