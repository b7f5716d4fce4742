// A run's own row (the runs table), bound and read in the order of its one column list
// (YIELD_RUN_COLUMNS in sqlText.h).
#pragma once

#include "runRecord.h"
#include "sqlStmt.h"

namespace yield {

// Binds the run's columns, $1 ... $n of InsertRunText or UpdateRunText.
void BindRunColumns(Stmt& s, const RunRecord& run);
// Reads the run's columns from a row of RunByIdText.
void ReadRunColumns(Stmt& s, RunRecord& run);

}  // namespace yield
