#include "ratio_reporter.h"

#include <ostream>

namespace devbench {

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations <= 0)
            continue;
        m_times.Add(run.run_name.function_name,
                    run.real_accumulated_time / static_cast<double>(run.iterations));
    }
    ConsoleReporter::ReportRuns(runs);
}

void RatioReporter::Finalize() {
    ConsoleReporter::Finalize();
    GetOutputStream() << "\n" << FormatTable(m_pairs, m_times) << std::flush;
}

}  // namespace devbench
