// The files a SQLite database is kept in, so that no command reads or overwrites them as if they
// were its input or output.
#pragma once

#include <string>
#include <vector>

namespace yield {

// The file `db` names and the journal files beside it ("-wal", "-shm", "-journal"), whether or
// not they exist yet, and the same for the file a symbolic link `db` leads to; none when `db`
// names a server.
std::vector<std::string> DatabaseFiles(const std::string& db);

// The same file under any name (when both exist), or the same path once made absolute and
// resolved.
bool SameFile(const std::string& a, const std::string& b);

// True when `path` is one of DatabaseFiles(db), as SameFile tells.
bool IsDatabaseFile(const std::string& db, const std::string& path);

}  // namespace yield
