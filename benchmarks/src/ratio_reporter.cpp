#include "ratio_reporter.h"

#include <ostream>

namespace devbench {

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations <= 0)
            continue;
        const std::string& name = run.run_name.function_name;
        m_times.Add(name, run.real_accumulated_time / static_cast<double>(run.iterations));
        for (const char* counter : {kSubjectCounter, kBaselineCounter, kRatioCounter}) {
            auto found = run.counters.find(counter);
            if (found != run.counters.end())
                m_times.Add(RunTimes::CounterKey(name, counter), found->second.value);
        }
    }
    ConsoleReporter::ReportRuns(runs);
}

void RatioReporter::Finalize() {
    ConsoleReporter::Finalize();
    GetOutputStream() << "\n" << FormatTable(m_pairs, m_times) << std::flush;
}

}  // namespace devbench
