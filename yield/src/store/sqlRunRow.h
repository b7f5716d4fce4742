// A run's own row (the runs table), bound and read in the order of its one column list
// (YIELD_RUN_COLUMNS in sqlText.h).
#pragma once

#include <string>

#include "parse/runRecord.h"
#include "store/sqlStmt.h"

namespace yield {

// Binds the run's columns, $1 ... $n of InsertRunText or UpdateRunText, with `station` as the
// station to store (a stored run keeps the one it has).
void BindRunColumns(Stmt& s, const RunRecord& run, const std::string& station);
// Reads the run's columns from a row of RunByIdText.
void ReadRunColumns(Stmt& s, RunRecord& run);

}  // namespace yield
