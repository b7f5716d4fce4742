// How a reader (the screen) learns that an ingest committed, from whichever process, without
// reading the tables: on PostgreSQL every batch that wrote sends a notification on
// sql::kRunsChannel inside its transaction; on SQLite the file's data version moves when another
// connection commits. The one seam for both engines; its SQL is in sqlText.h.
#pragma once

#include <memory>
#include <string>

namespace yield {

// A client asks either WaitForChange or Version: each reports a commit once.
class ChangeWatcher {
public:
    virtual ~ChangeWatcher() = default;
    // True as soon as an ingest has committed since the watcher was opened or since the last
    // call that returned true; false when `timeoutMs` passed without one. Throws StoreError.
    virtual bool WaitForChange(int timeoutMs) = 0;
    // A token that differs once a commit changed the stored runs or files, asked without waiting.
    // Throws StoreError.
    std::string Version() {
        if (WaitForChange(0)) ++changes_;
        return std::to_string(changes_);
    }

private:
    long long changes_ = 0;
};

// Watches the database `db` names (as OpenStore reads it) on a connection of its own, opened for
// reading. Throws StoreError.
std::unique_ptr<ChangeWatcher> OpenChangeWatcher(const std::string& db);

// SQLite's: the file opened as the store's readers open it, so that the watcher reads whatever a
// report can. A file deleted or replaced under it is opened anew at the path, as every report
// opens it, and counts as a change.
std::unique_ptr<ChangeWatcher> OpenSqliteChangeWatcher(const std::string& path);

// PostgreSQL's: a connection that listens on sql::kRunsChannel. A lost connection is opened
// again at the next wait, and counts as a change, since what was sent meanwhile is gone.
// `conninfo` as for OpenPgStore.
std::unique_ptr<ChangeWatcher> OpenPgChangeWatcher(const std::string& conninfo);

}  // namespace yield
