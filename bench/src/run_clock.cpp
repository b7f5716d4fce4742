#include "run_clock.h"

#include <chrono>
#include <cmath>

namespace bench {

namespace {
int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

RunClock::RunClock() : m_startNs(NowNs()) {}

void RunClock::MarkToolStart() { m_startNs = NowNs(); }

double RunClock::SinceToolStartMs() const {
    double ms = static_cast<double>(NowNs() - m_startNs.load()) / 1e6;
    return std::round(ms * 10.0) / 10.0;
}

double RunClock::MonotonicMs() { return static_cast<double>(NowNs()) / 1e6; }

RunClock& Clock() {
    static RunClock clock;
    return clock;
}

}  // namespace bench
