#include "store/sqlRunRow.h"

namespace yield {
namespace {

using C = sql::RunColumn;
using sql::Col;

constexpr char kColumnOrder[] = "database: a run's columns bound out of their order";

// The port counters, a column each.
struct CountColumn {
    const char* family;
    C column;
};
constexpr CountColumn kCountColumns[] = {
    {"RS485", C::cnt_rs485}, {"RS232", C::cnt_rs232}, {"DO", C::cnt_do},  {"DI", C::cnt_di},
    {"AI", C::cnt_ai},       {"USB", C::cnt_usb},     {"LED", C::cnt_led}};

int Count(const RunRecord& run, const char* family) {
    auto it = run.counts.find(family);
    return it == run.counts.end() ? -1 : it->second;
}

// Binds each value under the column it names: one out of the list's order, or a column left
// out, throws before the statement runs.
class RunBinder {
public:
    explicit RunBinder(Stmt& s) : s_(s) {}
    template <class T>
    RunBinder& Put(C column, const T& value) {
        if (Col(column) != next_++) throw StoreError(kColumnOrder);
        s_.Bind(value);
        return *this;
    }
    void Done() const {
        if (next_ != sql::kRunColumnCount) throw StoreError(kColumnOrder);
    }

private:
    Stmt& s_;
    int next_ = 0;
};

}  // namespace

void BindRunColumns(Stmt& s, const RunRecord& run, const std::string& station) {
    RunBinder b(s);
    b.Put(C::host, run.host).Put(C::chip_id, run.chipId).Put(C::start_stamp, run.timeStamp);
    b.Put(C::day, run.CountedDay()).Put(C::started_at, run.startedAt).Put(C::ended_at, run.endedAt);
    b.Put(C::args, run.args).Put(C::build, run.build).Put(C::version, run.version);
    b.Put(C::test_mode, run.testMode).Put(C::port_select, run.portSelect);
    b.Put(C::cycles_asked, run.cyclesAsked).Put(C::cycles_run, run.cyclesRun);
    for (const CountColumn& c : kCountColumns) b.Put(c.column, Count(run, c.family));
    b.Put(C::verdict, std::string(VerdictWord(run.verdict)));
    b.Put(C::verdict_code,
          run.hasVerdictCode ? std::optional<long long>(run.verdictCode) : std::nullopt);
    b.Put(C::headerless, run.headerless).Put(C::records, run.records).Put(C::bytes, run.bytes);
    b.Put(C::result_doc, run.resultDoc).Put(C::station, station);
    b.Put(C::clock_unset, run.clockUnset ? 1LL : 0LL).Done();
}

void ReadRunColumns(Stmt& s, RunRecord& run) {
    auto text = [&s](C c) { return s.Text(Col(c)); };
    auto number = [&s](C c) { return static_cast<int>(s.Int(Col(c))); };
    run.host = text(C::host);
    run.chipId = text(C::chip_id);
    run.timeStamp = text(C::start_stamp);
    run.startedAt = text(C::started_at);
    run.endedAt = text(C::ended_at);
    run.args = text(C::args);
    run.build = text(C::build);
    run.version = text(C::version);
    run.testMode = number(C::test_mode);
    run.portSelect = number(C::port_select);
    run.cyclesAsked = number(C::cycles_asked);
    run.cyclesRun = number(C::cycles_run);
    for (const CountColumn& c : kCountColumns) {
        long long n = s.Int(Col(c.column));
        if (n >= 0) run.counts[c.family] = static_cast<int>(n);
    }
    run.verdict = VerdictOf(s.TextView(Col(C::verdict)));
    run.hasVerdictCode = !s.Null(Col(C::verdict_code));
    run.verdictCode = number(C::verdict_code);
    run.headerless = s.Int(Col(C::headerless)) != 0;
    run.records = number(C::records);
    run.bytes = s.Int(Col(C::bytes));
    run.resultDoc = text(C::result_doc);
    run.station = text(C::station);
    run.clockUnset = s.Int(Col(C::clock_unset)) != 0;
    if (run.clockUnset) run.arrivalDay = text(C::day);
}

}  // namespace yield
