// The run's clock: every time in the record counts milliseconds from the tool's start.
#pragma once

#include <atomic>
#include <cstdint>

namespace bench {

class RunClock {
public:
    RunClock();
    // Marks the tool's start; times taken before are negative.
    void MarkToolStart();
    double SinceToolStartMs() const;
    // Milliseconds on the monotonic clock, for deadlines.
    static double MonotonicMs();

private:
    std::atomic<int64_t> m_startNs;
};

// The one clock of a bench run.
RunClock& Clock();

}  // namespace bench
