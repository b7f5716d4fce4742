// How a reader (the dashboard) learns that an ingest committed, without reading the tables: on
// PostgreSQL every batch that wrote sends a notification on kRunsChannel inside its transaction;
// on SQLite the file's data version moves when another connection commits.
#pragma once

#include <memory>
#include <string>

struct sqlite3;

namespace yield {

// The channel of the notification; its payload is the number of runs the batch stored.
constexpr char kRunsChannel[] = "devuze_yield_runs";

class ChangeWatcher {
public:
    virtual ~ChangeWatcher() = default;
    // True as soon as an ingest has committed since the watcher was opened or since the last
    // call that returned true; false when `timeoutMs` passed without one. Throws StoreError.
    virtual bool WaitForChange(int timeoutMs) = 0;
};

// Watches the database `db` names (as OpenStore reads it). Throws StoreError.
std::unique_ptr<ChangeWatcher> OpenChangeWatcher(const std::string& db);

// SQLite's: a connection of its own, read for PRAGMA data_version.
class SqliteChangeWatcher : public ChangeWatcher {
public:
    explicit SqliteChangeWatcher(const std::string& path);
    ~SqliteChangeWatcher() override;
    SqliteChangeWatcher(const SqliteChangeWatcher&) = delete;
    SqliteChangeWatcher& operator=(const SqliteChangeWatcher&) = delete;

    // Changes whenever another connection commits to the file.
    long long DataVersion();
    bool WaitForChange(int timeoutMs) override;

private:
    sqlite3* db_ = nullptr;
    long long seen_ = 0;
};

// PostgreSQL's: a connection of its own that listens on kRunsChannel. `conninfo` as for
// OpenPgStore.
std::unique_ptr<ChangeWatcher> OpenPgChangeWatcher(const std::string& conninfo);

}  // namespace yield
