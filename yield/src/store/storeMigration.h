// The schema's one way in: a reader takes only a database of this tool's version; a writer makes
// the tables, upgrades older ones and adds the indexes a database of this version lacks.
#pragma once

#include "store/sqlConnection.h"

namespace yield {

// Readies the database `conn` holds for the store: the tables made or upgraded when `create` is
// true, else refused (StoreError) when they are missing or of another version.
void MigrateSchema(SqlConnection& conn, bool create);

}  // namespace yield
