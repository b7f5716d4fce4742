// Opening a store: which engine a --db names, and each engine's own opener.
#pragma once

#include <memory>
#include <string>

#include "store/store.h"

namespace yield {

// Opens the database `db` names: a PostgreSQL server for "postgresql://..." or "postgres://..."
// (a connection URI), or for "postgresql:" alone (the PG* environment variables); otherwise the
// SQLite file at that path. The tables are created only when `create` is true. Throws StoreError.
std::unique_ptr<RunStore> OpenStore(const std::string& db, bool create);
// The same for reading only: the tables must be there.
std::unique_ptr<ReadStore> OpenReadStore(const std::string& db);
// For a writer that adds to a database ingests made (the alarms): the tables must be there, and
// an older schema is upgraded.
std::unique_ptr<RunStore> OpenUpgradeStore(const std::string& db);

// True when `db` names a PostgreSQL server, with the connection string for libpq ("" for the PG*
// variables); false for a SQLite file. Throws StoreError for a server named wrongly.
bool NamesServer(const std::string& db, std::string& conninfo);

std::unique_ptr<RunStore> OpenSqliteStore(const std::string& path, SchemaUse use);
// `conninfo`: a connection URI, or "" for the PG* environment variables.
std::unique_ptr<RunStore> OpenPgStore(const std::string& conninfo, SchemaUse use);
inline std::unique_ptr<RunStore> OpenSqliteStore(const std::string& path, bool create) {
    return OpenSqliteStore(path, create ? SchemaUse::Create : SchemaUse::Read);
}
inline std::unique_ptr<RunStore> OpenPgStore(const std::string& conninfo, bool create) {
    return OpenPgStore(conninfo, create ? SchemaUse::Create : SchemaUse::Read);
}

}  // namespace yield
