#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "changeWatcher.h"
#include "openStore.h"
#include "sqliteFile.h"

namespace yield {
namespace {

constexpr char kDataVersion[] = "PRAGMA data_version";
constexpr char kReadFailed[] = "database: cannot read its data version: ";
// A commit is seen within this time; reading the version costs next to nothing.
constexpr auto kPollInterval = std::chrono::milliseconds(50);

}  // namespace

SqliteChangeWatcher::SqliteChangeWatcher(const std::string& path)
    : db_(OpenSqliteFile(path, SqliteAccess::Read)) {
    try {
        seen_ = DataVersion();
    } catch (...) {
        sqlite3_close(db_);
        throw;
    }
}

SqliteChangeWatcher::~SqliteChangeWatcher() { sqlite3_close(db_); }

long long SqliteChangeWatcher::DataVersion() {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, kDataVersion, -1, &st, nullptr) != SQLITE_OK ||
        sqlite3_step(st) != SQLITE_ROW) {
        std::string why = sqlite3_errmsg(db_);
        sqlite3_finalize(st);
        throw StoreError(kReadFailed + why);
    }
    long long version = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return version;
}

bool SqliteChangeWatcher::WaitForChange(int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        long long now = DataVersion();
        if (now != seen_) {
            seen_ = now;
            return true;
        }
        auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) return false;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(left, kPollInterval));
    }
}

std::unique_ptr<ChangeWatcher> OpenChangeWatcher(const std::string& db) {
    std::string conninfo;
    if (NamesServer(db, conninfo)) return OpenPgChangeWatcher(conninfo);
    return std::make_unique<SqliteChangeWatcher>(db);
}

}  // namespace yield
