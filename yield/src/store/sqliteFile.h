// Opening a SQLite database file, the one way every part of the tool does it (the store, the
// change watcher, the screen's change source): a file path, never a URI, and a reader that can
// read a file it cannot write.
#pragma once

#include <string>

struct sqlite3;

namespace yield {

enum class SqliteAccess {
    Create,  // read-write, the file made when missing
    Write,   // read-write, the file must be there
    // Reads only. Opened for writing where it can be, so that the WAL index is shared with
    // writers and the last close tidies the journal files away; where the WAL index cannot be
    // made (a read-only mount or folder, a damaged -shm file nobody can mend) the file is read as
    // it stands.
    Read,
};

// A connection for one thread with the busy timeout set. Throws StoreError: for a name SQLite
// would take as a URI ("file:..."), an empty name, a name for a database no file keeps
// (":memory:"), a file that cannot be opened or is not a database. Close with sqlite3_close.
sqlite3* OpenSqliteFile(const std::string& path, SqliteAccess access);

// True when the file `db` has open was deleted or renamed away since it was opened (a new file
// may be at its path now).
bool SqliteFileMoved(sqlite3* db);

}  // namespace yield
