#include "progress.h"

#include <cstdio>
#include <regex>

namespace bench {

namespace {
constexpr double kQuietSpellSec = 5.0;
}

void Progress::Started(const std::string& scenario, const std::string& command) {
    if (m_quiet) return;
    m_out << "devuzeV7-bench: scenario " << scenario << ": " << command << std::endl;
}

void Progress::LogLine(double elapsedSec, const std::string& line) {
    Print(elapsedSec, WithoutTail(line));
}

void Progress::Tick(double elapsedSec) {
    if (elapsedSec - m_lastPrintSec >= kQuietSpellSec) Print(elapsedSec, "... running");
}

std::string Progress::WithoutTail(const std::string& line) {
    static const std::regex kTail("\t[^\t ]+ [^\t ]+ line=[0-9]+$");
    return std::regex_replace(line, kTail, "");
}

void Progress::Print(double elapsedSec, const std::string& text) {
    m_lastPrintSec = elapsedSec;
    if (m_quiet) return;
    char stamp[32];
    snprintf(stamp, sizeof stamp, "[%6.1f s] ", elapsedSec);
    m_out << stamp << text << std::endl;
}

}  // namespace bench
