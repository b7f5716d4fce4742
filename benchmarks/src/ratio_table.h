// Side-by-side figures: each row divides the median time of one benchmark by the median time
// of its baseline from the same run, so a machine that is slow or noisy for the whole run does
// not move the ratio much.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace devbench {

// Counters of a benchmark that times subject and baseline itself, pairwise: seconds per item
// of each, and the median of the per-iteration ratios.
inline constexpr char kSubjectCounter[] = "subject_s";
inline constexpr char kBaselineCounter[] = "baseline_s";
inline constexpr char kRatioCounter[] = "ratio";

double Median(std::vector<double> values);  // 0 for none

struct RatioPair {
    std::string label;
    std::string subject;   // benchmark name (with `paired`: the benchmark that times both)
    std::string baseline;  // benchmark name (unused with `paired`)
    int itemsPerIteration = 1;
    std::string item;         // what one item is: "line", "load", ...
    double goalAtMost = 0;    // 0: no goal
    bool goalStrict = false;  // the ratio must stay below goalAtMost ("faster than")
    bool paired = false;      // times and ratio come from the subject's counters
};

struct RatioRow {
    const RatioPair* pair = nullptr;
    bool complete = false;  // both benchmarks ran
    double subjectSec = 0;  // median time of one item
    double baselineSec = 0;
    double ratio = 0;
};

// Seconds per iteration of every repetition seen, by benchmark name, and the paired counters
// as "<name>:<counter>".
class RunTimes {
public:
    void Add(const std::string& name, double secondsPerIteration);
    static std::string CounterKey(const std::string& name, const std::string& counter) {
        return name + ":" + counter;
    }
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
