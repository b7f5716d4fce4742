#include "store/sqlChildRows.h"

namespace yield {
namespace {

using P = sql::PortColumn;
using T = sql::TallyColumn;
using M = sql::MeasurementColumn;
using F = sql::FailureColumn;
using S = sql::SourceColumn;
using sql::Col;

int Number(Stmt& s, int col) { return static_cast<int>(s.Int(col)); }

std::optional<double> Limit(const Measurement& m, double limit) {
    return m.hasLimits ? std::optional<double>(limit) : std::nullopt;
}

}  // namespace

void AddPortRow(SqlRows& rows, long long runId, const PortResult& p) {
    ColumnBinder<P>(rows)
        .Put(P::run_id, runId)
        .Put(P::family, p.family)
        .Put(P::number, p.number)
        .Put(P::passed, p.passed)
        .Put(P::intermittent, p.intermittent)
        .Done();
    rows.EndRow();
}

void AddTallyRow(SqlRows& rows, long long runId, const PortTally& t) {
    ColumnBinder<T>(rows)
        .Put(T::run_id, runId)
        .Put(T::family, t.family)
        .Put(T::number, t.number)
        .Put(T::variant, t.variant)
        .Put(T::succ, t.succ)
        .Put(T::err, t.err)
        .Done();
    rows.EndRow();
}

void AddMeasurementRow(SqlRows& rows, long long runId, int seq, const Measurement& m) {
    ColumnBinder<M> b(rows);
    b.Put(M::run_id, runId).Put(M::seq, seq).Put(M::cycle, m.cycle).Put(M::port, m.port);
    b.Put(M::name, m.name).Put(M::value, m.value).Put(M::text, m.text).Put(M::unit, m.unit);
    b.Put(M::low, Limit(m, m.low)).Put(M::high, Limit(m, m.high));
    b.Put(M::outcome, m.outcome).Put(M::line, m.line).Done();
    rows.EndRow();
}

void AddFailureRow(SqlRows& rows, long long runId, int seq, const FailureLine& f) {
    ColumnBinder<F>(rows)
        .Put(F::run_id, runId)
        .Put(F::seq, seq)
        .Put(F::cycle, f.cycle)
        .Put(F::port, f.port)
        .Put(F::line, f.line)
        .Done();
    rows.EndRow();
}

void BindSourceRow(Stmt& s, const SourceFile& file, const SourceFacts& facts, bool newRun) {
    ColumnBinder<S> b(s.Binder());
    b.Put(S::path, file.path).Put(S::size, file.size).Put(S::mtime, file.mtime);
    if (newRun) {
        b.Skip(S::run_id);
    } else {
        b.Put(S::run_id, facts.runId);
    }
    b.Put(S::role, facts.role).Put(S::reason, facts.reason);
    b.Put(S::complete, facts.complete).Put(S::records, facts.records);
    b.Put(S::sha256, file.sha256).Done();
}

void ReadPortRow(Stmt& s, PortResult& p) {
    p.family.assign(s.TextView(Col(P::family)));
    p.number = Number(s, Col(P::number));
    p.passed = s.Int(Col(P::passed)) != 0;
    p.intermittent = s.Int(Col(P::intermittent)) != 0;
}

PortTally ReadTallyRow(Stmt& s) {
    return PortTally{s.Text(Col(T::family)), Number(s, Col(T::number)), s.Text(Col(T::variant)),
                     Number(s, Col(T::succ)), Number(s, Col(T::err))};
}

Measurement ReadMeasurementRow(Stmt& s) {
    Measurement m;
    m.cycle = Number(s, Col(M::cycle));
    m.port = s.Text(Col(M::port));
    m.name = s.Text(Col(M::name));
    m.value = s.Real(Col(M::value));
    m.text = s.Text(Col(M::text));
    m.unit = s.Text(Col(M::unit));
    m.hasLimits = !s.Null(Col(M::low));
    m.low = m.hasLimits ? s.Real(Col(M::low)) : 0;
    m.high = m.hasLimits ? s.Real(Col(M::high)) : 0;
    m.outcome = s.Text(Col(M::outcome));
    m.line = s.Text(Col(M::line));
    return m;
}

FailureLine ReadFailureRow(Stmt& s) {
    return FailureLine{Number(s, Col(F::cycle)), s.Text(Col(F::port)), s.Text(Col(F::line))};
}

SourceRow ReadSourceRow(Stmt& s) {
    return SourceRow{s.Text(Col(S::path)),         s.Int(Col(S::size)),
                     s.Text(Col(S::role)),         s.Text(Col(S::reason)),
                     s.Int(Col(S::complete)) != 0, Number(s, Col(S::records)),
                     s.Text(Col(S::sha256))};
}

}  // namespace yield
