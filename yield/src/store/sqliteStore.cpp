// The SQLite engine behind the store: one file, one connection used by one thread, statements
// prepared once and kept for the connection's life.
#include <sqlite3.h>

#include <map>
#include <string>
#include <string_view>

#include "store/openStore.h"
#include "store/sqlConnection.h"
#include "store/sqliteFile.h"

namespace yield {
namespace {

constexpr char kMoved[] =
    "database: the database file was deleted or replaced while in use; the batch was not stored";

// The error of the call that just failed on `db`. A write lock still held by another writer
// once the busy timeout ran out gives the batch up, to be tried again.
[[noreturn]] void Fail(sqlite3* db, const std::string& why) {
    int code = sqlite3_extended_errcode(db) & 0xff;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) throw StoreRetry("database: " + why);
    throw StoreError("database: " + why);
}

class SqliteQuery : public SqlRows, public SqlQuery {
public:
    SqliteQuery(sqlite3* db, sqlite3_stmt* st) : db_(db), st_(st) {}
    ~SqliteQuery() override { sqlite3_finalize(st_); }
    SqliteQuery(const SqliteQuery&) = delete;
    SqliteQuery& operator=(const SqliteQuery&) = delete;

    void BindInt(long long v) override { Check(sqlite3_bind_int64(st_, ++at_, v)); }
    void BindReal(double v) override { Check(sqlite3_bind_double(st_, ++at_, v)); }
    void BindText(std::string_view v) override {
        Check(
            sqlite3_bind_text(st_, ++at_, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
    }
    void BindNull() override { Check(sqlite3_bind_null(st_, ++at_)); }

    bool Step() override {
        int rc = sqlite3_step(st_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        Fail(db_, sqlite3_errmsg(db_));
    }
    long long Int(int col) override { return sqlite3_column_int64(st_, col); }
    double Real(int col) override { return sqlite3_column_double(st_, col); }
    bool Null(int col) override { return sqlite3_column_type(st_, col) == SQLITE_NULL; }
    std::string_view TextView(int col) override {
        const void* p = sqlite3_column_blob(st_, col);
        int n = sqlite3_column_bytes(st_, col);
        return p == nullptr ? std::string_view()
                            : std::string_view(static_cast<const char*>(p), static_cast<size_t>(n));
    }
    void Reset() noexcept override {
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
        at_ = 0;
    }

    // A bulk row is one run of the insert.
    void EndRow() override {
        try {
            while (Step()) {
            }
        } catch (...) {
            Reset();
            throw;
        }
        Reset();
    }

private:
    void Check(int rc) {
        if (rc != SQLITE_OK) throw StoreError(std::string("database: ") + sqlite3_errmsg(db_));
    }
    sqlite3* db_;
    sqlite3_stmt* st_;
    int at_ = 0;
};

SqliteAccess Access(SchemaUse use) {
    if (use == SchemaUse::Create) return SqliteAccess::Create;
    return use == SchemaUse::Upgrade ? SqliteAccess::Write : SqliteAccess::Read;
}

class SqliteConnection : public SqlConnection {
public:
    // A reading command writes nothing (see SqliteAccess::Read); only a creating one makes the
    // file.
    SqliteConnection(const std::string& path, SchemaUse use)
        : db_(OpenSqliteFile(path, Access(use))) {
        if (use != SchemaUse::Create) return;  // a file an ingest made keeps its journal mode
        try {
            Exec(sql::kSqliteWal);
            Exec(sql::kSqliteSync);
        } catch (...) {
            Close();  // a file that is not a database: the destructor will not run
            throw;
        }
    }
    ~SqliteConnection() override { Close(); }
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    const sql::Dialect& Dialect() const override { return sql::kSqliteDialect; }

    void Exec(const char* text) override {
        char* err = nullptr;
        if (sqlite3_exec(db_, text, nullptr, nullptr, &err) != SQLITE_OK) {
            std::string why = err != nullptr ? err : "unknown error";
            sqlite3_free(err);
            Fail(db_, why);
        }
    }

    // Outside a batch, reads share one snapshot: a report while an ingest commits sees either
    // all of a batch or none of it.
    SqlQuery& Prepare(const char* text) override {
        EnsureReadTransaction();
        return Statement(text);
    }
    SqlQuery& PrepareScan(const char* text) override { return Prepare(text); }
    SqlRows& Rows(const sql::BulkTable& table) override { return Statement(table.insert); }
    void Flush() override {}  // every row is in the moment EndRow returns

    void Begin() override {
        if (readTx_) Commit();
        Exec(sql::kSqliteBegin);
        inTx_ = true;
    }
    // A batch is never committed into a file that is no longer the one the path names: what it
    // stored would be gone, or never seen by the readers of the new file.
    void Commit() override {
        if (inTx_ && !readTx_ && SqliteFileMoved(db_)) {
            Rollback();
            throw StoreError(kMoved);
        }
        Exec(sql::kCommit);
        inTx_ = readTx_ = false;
    }
    void Rollback() noexcept override {
        if (inTx_) sqlite3_exec(db_, sql::kRollback, nullptr, nullptr, nullptr);
        inTx_ = readTx_ = false;
    }

private:
    void EnsureReadTransaction() {
        if (inTx_) return;
        Exec(sql::kBegin);
        inTx_ = readTx_ = true;
    }

    SqliteQuery& Statement(const char* text) {
        auto it = stmts_.find(text);
        if (it != stmts_.end()) return *it->second;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v3(db_, text, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) !=
            SQLITE_OK) {
            throw StoreError(std::string("database: ") + sqlite3_errmsg(db_));
        }
        auto q = std::make_unique<SqliteQuery>(db_, st);
        return *stmts_.emplace(text, std::move(q)).first->second;
    }

    void Close() noexcept {
        Rollback();
        stmts_.clear();
        sqlite3_close(db_);
        db_ = nullptr;
    }

    sqlite3* db_ = nullptr;
    bool inTx_ = false;
    bool readTx_ = false;
    std::map<const char*, std::unique_ptr<SqliteQuery>> stmts_;
};

}  // namespace

std::unique_ptr<RunStore> OpenSqliteStore(const std::string& path, SchemaUse use) {
    return OpenSqlStore(std::make_unique<SqliteConnection>(path, use), use);
}

}  // namespace yield
