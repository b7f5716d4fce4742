// The schema's one way in: a reader takes only a database of this tool's version; a writer makes
// the tables, upgrades older ones and adds the indexes a database of this version lacks.
#pragma once

#include "store/sqlConnection.h"

namespace yield {

// Readies the database `conn` holds for the store (SchemaUse, sqlConnection.h): tables missing or
// of another version refused (StoreError) for reading; upgraded, or also made, for writing.
void MigrateSchema(SqlConnection& conn, SchemaUse use);

}  // namespace yield
