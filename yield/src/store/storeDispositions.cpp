#include "store/storeDispositions.h"

#include "store/sqlStmt.h"

namespace yield {
namespace {

Disposition ReadDisposition(Stmt& s) {
    using C = sql::DispositionColumn;
    using sql::Col;
    Disposition d;
    d.id = s.Int(Col(C::id));
    d.chipId = s.Text(Col(C::chip_id));
    d.runId = s.Int(Col(C::run_id));
    d.status = s.Text(Col(C::status));
    d.note = s.Text(Col(C::note));
    d.by = s.Text(Col(C::made_by));
    d.at = s.Text(Col(C::made_at));
    return d;
}

}  // namespace

// One batch, announced to the readers like an ingest's, so that a live screen sees it at once.
std::optional<Disposition> SqlDispositions::Dispose(const Disposition& asked) {
    conn_.Begin();
    try {
        std::optional<Disposition> made;
        {
            Stmt s(conn_.Prepare(sql::kInsertDisposition));
            s.Bind(asked.chipId, asked.status, asked.note, asked.by, asked.at);
            if (s.Step()) {
                made = asked;
                made->id = s.Int(0);
                made->runId = s.Int(1);
            }
        }
        if (!made) {
            conn_.Rollback();
            return std::nullopt;
        }
        if (const char* announce = conn_.Dialect().announceRuns) {
            Stmt a(conn_.Prepare(announce));
            a.Bind(std::string("0"));
            a.Run();
        }
        conn_.Commit();
        return made;
    } catch (...) {
        conn_.Rollback();
        throw;
    }
}

std::vector<Disposition> SqlDispositions::DispositionsOf(const std::string& chipId) {
    Stmt s(conn_.Prepare(sql::kDispositionsOfChip));
    s.Bind(chipId);
    std::vector<Disposition> out;
    while (s.Step()) out.push_back(ReadDisposition(s));
    return out;
}

void SqlDispositions::ForEachLatestDisposition(const DispositionSink& take) {
    Stmt s(conn_.Prepare(sql::kLatestDispositions));
    while (s.Step()) take(ReadDisposition(s));
}

}  // namespace yield
