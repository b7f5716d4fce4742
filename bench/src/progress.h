// What a person sees while a run goes: each new line of the trace log with the time elapsed,
// and a reminder that the run is alive when the log is quiet for a while.
#pragma once

#include <ostream>
#include <string>

namespace bench {

class Progress {
public:
    Progress(std::ostream& out, bool quiet) : m_out(out), m_quiet(quiet) {}

    void Started(const std::string& scenario, const std::string& command);
    void LogLine(double elapsedSec, const std::string& line);
    // Called often; prints "still running" after a quiet spell.
    void Tick(double elapsedSec);

    // A log line without its "\t<module> <function> line=<n>" tail.
    static std::string WithoutTail(const std::string& line);

private:
    void Print(double elapsedSec, const std::string& text);

    std::ostream& m_out;
    bool m_quiet;
    double m_lastPrintSec = 0;
};

}  // namespace bench
