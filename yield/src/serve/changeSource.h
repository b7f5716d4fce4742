// What tells the screen that the runs changed: any ingest's commit, from whichever process. The
// screen asks Version() every half second and rebuilds what it shows when the answer differs.
#pragma once

#include <memory>
#include <string>

namespace yield {

class ChangeSource {
public:
    virtual ~ChangeSource() = default;
    // A token that differs once a commit changed the stored runs or files. Throws StoreError.
    virtual std::string Version() = 0;
};

// Asks the database itself, on a connection of its own opened for reading: SQLite's
// data_version with the runs' and files' counts; on a PostgreSQL server, the notifications every
// ingest batch sends when it commits.
std::unique_ptr<ChangeSource> OpenPollingChangeSource(const std::string& db);

}  // namespace yield
