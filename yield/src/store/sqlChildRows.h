// The rows of the tables beside runs (run_ports, port_tallies, measurements, failure_lines,
// source_files), each bound and read by the names of its one column list (sqlText.h), never by a
// number typed beside a query.
#pragma once

#include <optional>
#include <string>

#include "parse/runRecord.h"
#include "store/sqlStmt.h"
#include "store/store.h"

namespace yield {

// A row of the run `runId`, its values in the table's column order, sent with EndRow.
void AddPortRow(SqlRows& rows, long long runId, const PortResult& p);
void AddTallyRow(SqlRows& rows, long long runId, const PortTally& t);
void AddMeasurementRow(SqlRows& rows, long long runId, int seq, const Measurement& m);
void AddFailureRow(SqlRows& rows, long long runId, int seq, const FailureLine& f);

// What a file's row says beside the file itself.
struct SourceFacts {
    std::optional<long long> runId;  // none for a problem
    const char* role;
    std::string reason;
    bool complete = false;
    int records = 0;
};
// Binds a file's row, $1 ... $n of kUpsertSource; after the run's values of
// InsertRunWithSourceText, without its run ID (`newRun`).
void BindSourceRow(Stmt& s, const SourceFile& file, const SourceFacts& facts, bool newRun = false);

// A row of a statement that selects its table's whole column list (first, in the list's order).
// ReadPortRow reuses the strings `p` holds.
void ReadPortRow(Stmt& s, PortResult& p);
PortTally ReadTallyRow(Stmt& s);
Measurement ReadMeasurementRow(Stmt& s);
FailureLine ReadFailureRow(Stmt& s);
SourceRow ReadSourceRow(Stmt& s);

}  // namespace yield
