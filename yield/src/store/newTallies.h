// The tallies of a batch's new runs, summed from the records the ingest writes as their rows, so
// that no engine has to read a batch's rows back to count them.
#pragma once

#include <map>
#include <string>
#include <tuple>

#include "parse/runRecord.h"
#include "store/sqlConnection.h"

namespace yield {

class NewTallies {
public:
    // `run` as InsertChildren writes it under a new run with the run's own station.
    void Add(const RunRecord& run);
    // Adds what was summed to the stored tallies, in the connection's transaction; empties this.
    void Write(SqlConnection& conn);
    void Clear();
    bool Empty() const { return runs_.empty(); }  // every run is counted

private:
    using Place = std::tuple<std::string, std::string, std::string>;  // day, host, station
    struct PortCount {
        long long runs = 0;
        long long failures = 0;
    };
    // Values equal as numbers share a key, as they do in the engines (0 and -0, every NaN).
    struct Value {
        double v;
        bool operator<(const Value& o) const;
    };
    static void BindPlace(SqlRows& rows, const Place& place);

    std::map<std::tuple<Place, std::string, int>, PortCount> ports_;
    std::map<std::tuple<Place, std::string, Value>, long long> volts_;
    std::map<std::pair<Place, const char*>, long long> runs_;  // by verdict word
};

}  // namespace yield
