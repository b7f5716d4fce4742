#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "store/changeWatcher.h"
#include "store/openStore.h"
#include "store/sqlText.h"
#include "store/sqliteFile.h"

namespace yield {
namespace {

constexpr char kCannotWatch[] = "cannot watch the database: ";
constexpr char kSeparator = '/';
// A commit is seen within this time; reading the version costs next to nothing.
constexpr auto kPollInterval = std::chrono::milliseconds(50);

class SqliteChangeWatcher : public ChangeWatcher {
public:
    explicit SqliteChangeWatcher(std::string path) : path_(std::move(path)) {
        Reopen();
        seen_ = State();
    }
    ~SqliteChangeWatcher() override { sqlite3_close(db_); }
    SqliteChangeWatcher(const SqliteChangeWatcher&) = delete;
    SqliteChangeWatcher& operator=(const SqliteChangeWatcher&) = delete;

    bool WaitForChange(int timeoutMs) override {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            std::string now = State();
            if (now != seen_) {
                seen_ = std::move(now);
                return true;
            }
            auto left = deadline - std::chrono::steady_clock::now();
            if (left <= std::chrono::steady_clock::duration::zero()) return false;
            std::this_thread::sleep_for(
                std::min<std::chrono::steady_clock::duration>(left, kPollInterval));
        }
    }

private:
    // The file's openings, its data version and the runs' and files' counts.
    std::string State() {
        if (db_ == nullptr || SqliteFileMoved(db_)) Reopen();
        return std::to_string(opened_) + kSeparator + Row(sql::kSqliteDataVersion) + kSeparator +
               Row(sql::kSqliteChangeCounts);
    }
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
    std::string seen_;
};

}  // namespace

std::unique_ptr<ChangeWatcher> OpenSqliteChangeWatcher(const std::string& path) {
    return std::make_unique<SqliteChangeWatcher>(path);
}

std::unique_ptr<ChangeWatcher> OpenChangeWatcher(const std::string& db) {
    std::string conninfo;
    if (NamesServer(db, conninfo)) return OpenPgChangeWatcher(conninfo);
    return OpenSqliteChangeWatcher(db);
}

}  // namespace yield
