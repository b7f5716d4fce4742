// Side-by-side figures: each row divides the median time of one benchmark by the median time
// of its baseline from the same run, so a machine that is slow or noisy for the whole run does
// not move the ratio much.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace devbench {

struct RatioPair {
    std::string label;
    std::string subject;   // benchmark name
    std::string baseline;  // benchmark name
    int itemsPerIteration = 1;
    std::string item;      // what one item is: "line", "load", ...
    double goalAtMost = 0;  // 0: no goal
    bool goalStrict = false;  // the ratio must stay below goalAtMost ("faster than")
};

struct RatioRow {
    const RatioPair* pair = nullptr;
    bool complete = false;  // both benchmarks ran
    double subjectSec = 0;  // median time of one item
    double baselineSec = 0;
    double ratio = 0;
};

// Median seconds per iteration of every repetition seen, by benchmark name.
class RunTimes {
public:
    void Add(const std::string& name, double secondsPerIteration);
    bool Has(const std::string& name) const;
    double Median(const std::string& name) const;  // 0 when never added

private:
    std::map<std::string, std::vector<double>> m_samples;
};

RatioRow MakeRow(const RatioPair& pair, const RunTimes& times);
// "1.25 us", "3.40 ms", ... with three significant digits.
std::string FormatSeconds(double seconds);
// The printable table of all rows, one line each, with a heading.
std::string FormatTable(const std::vector<RatioPair>& pairs, const RunTimes& times);

}  // namespace devbench
