#include "changeSource.h"

#include <sqlite3.h>

#include "changeWatcher.h"
#include "openStore.h"
#include "sqliteFile.h"
#include "store.h"

namespace yield {
namespace {

constexpr char kCounts[] =
    "SELECT coalesce(max(id), 0), count(*), (SELECT count(*) FROM source_files) FROM runs";
constexpr char kDataVersion[] = "PRAGMA data_version";
constexpr char kCannotWatch[] = "cannot watch the database: ";
constexpr char kSeparator = '/';

// The file opened as the store's readers open it, so that the screen reads whatever a report
// can. A file deleted or replaced under it is opened anew at the path, as every report opens it:
// the screen then follows the file the reports read, and the change counts.
class SqliteChanges : public ChangeSource {
public:
    explicit SqliteChanges(std::string path) : path_(std::move(path)) { Reopen(); }
    ~SqliteChanges() override { sqlite3_close(db_); }
    SqliteChanges(const SqliteChanges&) = delete;
    SqliteChanges& operator=(const SqliteChanges&) = delete;

    std::string Version() override {
        if (db_ == nullptr || SqliteFileMoved(db_)) Reopen();
        return std::to_string(opened_) + kSeparator + Row(kDataVersion) + kSeparator + Row(kCounts);
    }

private:
    void Reopen() {
        sqlite3_close(db_);
        db_ = nullptr;
        db_ = OpenSqliteFile(path_, SqliteAccess::Read);
        ++opened_;
    }
    [[noreturn]] void Fail() {
        std::string why = sqlite3_errmsg(db_);
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
    std::string path_;
    sqlite3* db_ = nullptr;
    long long opened_ = 0;
};

// PostgreSQL tells: every ingest batch that wrote sends a notification when it commits, which a
// connection of our own listens for. A lost connection is opened again, and counts as a change,
// since what was sent meanwhile is gone.
class PgChanges : public ChangeSource {
public:
    explicit PgChanges(std::string db) : db_(std::move(db)), watcher_(OpenChangeWatcher(db_)) {}

    std::string Version() override {
        try {
            if (!watcher_) {
                watcher_ = OpenChangeWatcher(db_);
                ++changes_;
            }
            if (watcher_->WaitForChange(0)) ++changes_;
        } catch (const StoreError&) {
            watcher_.reset();
            throw;
        }
        return std::to_string(changes_);
    }

private:
    std::string db_;
    std::unique_ptr<ChangeWatcher> watcher_;
    long long changes_ = 0;
};

}  // namespace

std::unique_ptr<ChangeSource> OpenPollingChangeSource(const std::string& db) {
    std::string conninfo;
    if (NamesServer(db, conninfo)) return std::make_unique<PgChanges>(db);
    return std::make_unique<SqliteChanges>(db);
}

}  // namespace yield
