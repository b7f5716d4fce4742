#include "store/sqliteFile.h"

#include <sqlite3.h>

#include <cstdio>

#include "store/sqlText.h"
#include "store/store.h"

namespace yield {
namespace {

constexpr char kCannotOpen[] = "cannot open database ";
// SQLite reads a name that starts with this as a URI (Debian's build enables URIs for every
// open), whose query can name another file, a database in memory or another VFS.
constexpr char kUriScheme[] = "file:";
constexpr char kNotAPath[] =
    ": the database is named by a file path, not a URI (for a file of that name give ./";
constexpr char kNoName[] = "cannot open database: no file name";
constexpr char kNoFile[] = ": it names no file";

[[noreturn]] void Fail(sqlite3*& db, const std::string& name) {
    std::string why = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    db = nullptr;
    throw StoreError(kCannotOpen + name + ": " + why);
}

void RefuseUri(const std::string& path) {
    // SQLite takes an empty name for a private temporary database, dropped at the close.
    if (path.empty()) throw StoreError(kNoName);
    if (path.rfind(kUriScheme, 0) == 0)
        throw StoreError(kCannotOpen + path + kNotAPath + path + ")");
}

// "file:" and the path with the characters a URI gives a meaning to escaped, read as immutable.
std::string ImmutableUri(const std::string& path) {
    std::string uri = kUriScheme;
    for (char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            uri += hex;
        } else {
            uri += c;
        }
    }
    return uri + sql::kSqliteImmutable;
}

// One thread uses each connection: no lock around every call.
sqlite3* Open(const std::string& name, const std::string& shown, int flags) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(name.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        Fail(db, shown);
    return db;
}

bool Run(sqlite3* db, const char* text) {
    return sqlite3_exec(db, text, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// A writer holding the file past the busy timeout is no reason to read it as it stands.
bool Busy(sqlite3* db) {
    int code = sqlite3_errcode(db);
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

// ":memory:" and the like open a database that no file keeps: an ingest into it would report
// runs stored and keep none.
bool Unnamed(sqlite3* db) {
    const char* file = sqlite3_db_filename(db, "main");
    return file == nullptr || *file == '\0';
}

}  // namespace

sqlite3* OpenSqliteFile(const std::string& path, SqliteAccess access) {
    RefuseUri(path);
    int flags = SQLITE_OPEN_READWRITE | (access == SqliteAccess::Create ? SQLITE_OPEN_CREATE : 0);
    sqlite3* db = Open(path, path, flags);
    if (Unnamed(db)) {
        sqlite3_close(db);
        throw StoreError(kCannotOpen + path + kNoFile);
    }
    if (!Run(db, sql::kSqliteBusy)) Fail(db, path);
    // Opening reads nothing yet: the probe reads the file, and makes the WAL index.
    if (access != SqliteAccess::Read || Run(db, sql::kSqliteProbe)) return db;
    if (Busy(db)) Fail(db, path);
    sqlite3_close(db);
    db = Open(ImmutableUri(path), path, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
    if (!Run(db, sql::kSqliteBusy) || !Run(db, sql::kSqliteProbe)) Fail(db, path);
    return db;
}

bool SqliteFileMoved(sqlite3* db) {
    int moved = 0;
    return sqlite3_file_control(db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK &&
           moved != 0;
}

}  // namespace yield
