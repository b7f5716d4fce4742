#include "ratio_table.h"

#include <algorithm>
#include <cstdio>

namespace devbench {

void RunTimes::Add(const std::string& name, double secondsPerIteration) {
    m_samples[name].push_back(secondsPerIteration);
}

bool RunTimes::Has(const std::string& name) const { return m_samples.count(name) != 0; }

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t mid = values.size() / 2;
    if (values.size() % 2 == 1) return values[mid];
    return (values[mid - 1] + values[mid]) / 2;
}

double RunTimes::Median(const std::string& name) const {
    auto found = m_samples.find(name);
    return found == m_samples.end() ? 0 : devbench::Median(found->second);
}

namespace {
RatioRow PairedRow(const RatioPair& pair, const RunTimes& times) {
    RatioRow row;
    row.pair = &pair;
    const std::string ratioKey = RunTimes::CounterKey(pair.subject, kRatioCounter);
    if (!times.Has(ratioKey)) return row;
    row.subjectSec = times.Median(RunTimes::CounterKey(pair.subject, kSubjectCounter));
    row.baselineSec = times.Median(RunTimes::CounterKey(pair.subject, kBaselineCounter));
    row.ratio = times.Median(ratioKey);
    row.complete = row.subjectSec > 0 && row.baselineSec > 0;
    return row;
}
}  // namespace

RatioRow MakeRow(const RatioPair& pair, const RunTimes& times) {
    if (pair.paired) return PairedRow(pair, times);
    RatioRow row;
    row.pair = &pair;
    if (!times.Has(pair.subject) || !times.Has(pair.baseline)) return row;
    const double items = pair.itemsPerIteration > 0 ? pair.itemsPerIteration : 1;
    row.subjectSec = times.Median(pair.subject) / items;
    row.baselineSec = times.Median(pair.baseline) / items;
    row.complete = row.baselineSec > 0;
    if (row.complete) row.ratio = row.subjectSec / row.baselineSec;
    return row;
}

std::string FormatSeconds(double seconds) {
    static const struct {
        double scale;
        const char* unit;
    } kUnits[] = {{1, "s"}, {1e-3, "ms"}, {1e-6, "us"}, {1e-9, "ns"}};
    for (const auto& unit : kUnits) {
        if (seconds >= unit.scale || unit.scale == 1e-9) {
            char text[32];
            snprintf(text, sizeof text, "%.3g %s", seconds / unit.scale, unit.unit);
            return text;
        }
    }
    return "0 s";
}

namespace {
std::string Verdict(const RatioRow& row) {
    if (row.pair->goalAtMost <= 0) return "";
    const RatioPair& pair = *row.pair;
    bool met = pair.goalStrict ? row.ratio < pair.goalAtMost : row.ratio <= pair.goalAtMost;
    char text[48];
    snprintf(text, sizeof text, "%s %.2f %s", pair.goalStrict ? "<" : "<=", pair.goalAtMost,
             met ? "met" : "MISSED");
    return text;
}

std::string FormatRow(const RatioRow& row) {
    char line[320];
    const RatioPair& pair = *row.pair;
    if (!row.complete) {
        snprintf(line, sizeof line, "%-48s %s\n", pair.label.c_str(), "not measured in this run");
        return line;
    }
    std::string per = "/" + pair.item;
    snprintf(line, sizeof line, "%-48s %14s %14s %10.3g %8.3fx  %s\n", pair.label.c_str(),
             (FormatSeconds(row.subjectSec) + per).c_str(),
             (FormatSeconds(row.baselineSec) + per).c_str(), 1.0 / row.subjectSec, row.ratio,
             Verdict(row).c_str());
    return line;
}
}  // namespace

std::string FormatTable(const std::vector<RatioPair>& pairs, const RunTimes& times) {
    char heading[256];
    snprintf(heading, sizeof heading, "%-48s %14s %14s %10s %9s  %s\n", "figure (median of runs)",
             "subject", "baseline", "subject/s", "ratio", "goal");
    std::string table = heading;
    for (const RatioPair& pair : pairs) {
        RatioRow row = MakeRow(pair, times);
        bool anyRan = times.Has(pair.subject) || times.Has(pair.baseline);
        if (row.complete || anyRan) table += FormatRow(row);
    }
    return table;
}

}  // namespace devbench
