#include "store/newTallies.h"

#include <cmath>
#include <set>

#include "parse/recordWords.h"

namespace yield {

void NewTallies::BindPlace(SqlRows& rows, const Place& place) {
    rows.BindText(std::get<0>(place));
    rows.BindText(std::get<1>(place));
    rows.BindText(std::get<2>(place));
}

bool NewTallies::Value::operator<(const Value& o) const {
    if (std::isnan(v) || std::isnan(o.v)) return !std::isnan(v);  // NaN last, all NaNs one
    return v < o.v;
}

void NewTallies::Add(const RunRecord& run) {
    Place place{run.CountedDay(), run.host, run.station};
    runs_[{place, VerdictWord(run.verdict)}] += 1;
    if (run.verdict != Verdict::Incomplete) {
        std::set<std::pair<std::string_view, int>> seen;  // a port named twice keeps its first row
        for (const PortResult& p : run.ports) {
            if (!seen.emplace(p.family, p.number).second) continue;
            PortCount& c = ports_[{place, p.family, p.number}];
            c.runs += 1;
            c.failures += p.passed ? 0 : 1;
        }
    }
    for (const Measurement& m : run.measurements) {
        if (m.unit == kUnitVolts) volts_[{place, m.name, Value{m.value}}] += 1;
    }
}

void NewTallies::Write(SqlConnection& conn) {
    if (Empty()) return;
    for (const char* text : sql::kMakeNewTallies) conn.Exec(text);
    SqlRows& ports = conn.Rows(sql::kNewPortRows);
    for (const auto& [key, c] : ports_) {
        const auto& [place, family, number] = key;
        BindPlace(ports, place);
        ports.BindText(family);
        ports.BindInt(number);
        ports.BindInt(c.runs);
        ports.BindInt(c.failures);
        ports.EndRow();
    }
    SqlRows& volts = conn.Rows(sql::kNewVoltRows);
    for (const auto& [key, readings] : volts_) {
        const auto& [place, name, value] = key;
        BindPlace(volts, place);
        volts.BindText(name);
        volts.BindReal(value.v);
        volts.BindInt(readings);
        volts.EndRow();
    }
    SqlRows& runs = conn.Rows(sql::kNewRunRows);
    for (const auto& [key, count] : runs_) {
        BindPlace(runs, key.first);
        runs.BindText(key.second);
        runs.BindInt(count);
        runs.EndRow();
    }
    conn.Flush();
    for (const char* text : sql::kAddNewTallies) conn.Exec(text);
    Clear();
}

void NewTallies::Clear() {
    ports_.clear();
    volts_.clear();
    runs_.clear();
}

}  // namespace yield
