// What failed a run, each cause said once: the value a failing port measured with what it was
// judged against, else the log line that failed it; a cause several ports share (no DIO device,
// one stick of two) once for all of them, and a run that failed before any port (a set-up
// failure) by its own line. Every output that says what to fix reads it from here.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "parse/runRecord.h"

namespace yield {

struct FailureCause {
    std::vector<std::string> ports;  // the failed ports it explains; empty: the run's own
    bool measured = false;           // a judged value explains it (else `line` alone)
    std::string name;                // the measurement's name
    double value = 0;
    std::string text;  // the value as text (the AT answer), or ""
    std::string unit;
    bool hasLimits = false;
    double low = 0;
    double high = 0;
    std::string line;       // the log line: the measurement's, or the failure line
    bool explained = true;  // false: the log says nothing of why (the ports alone)

    // The ports as people read them: "ADC-2", "USB-1, USB-2", "13 ports DO-1 to LED-3", or
    // "" for the run's own cause.
    std::string Label() const;
    // "ADC-2 1.71 V, limits 1.5 to 1.7", "USB-1, USB-2: 1 sticks, expected 2", or the label and
    // the line, cut to `lineBytes`.
    std::string Text(size_t lineBytes) const;
};

// The causes of a run's failures, in the order of the first port each explains; a run without a
// failing port gives its first failure line, if any, as the run's own cause (ask it of failed
// runs). Reads only the run's ports, failed measurements and failure lines.
std::vector<FailureCause> FailureCauses(const RunRecord& run);

// A cause for machines: `port` (its one port, the family a shared cause's ports are all of, else
// null), `ports`, `name`, `value`, `text`, `unit`, `low`, `high`, `expected` (when the limits
// are one value) and `message` (the log line), each null where the cause has none.
nlohmann::json CauseJson(const FailureCause& c);

// "1.71 V, limits 1.5 to 1.7", "0 bytes, expected 32", or "1.71 V" without limits.
std::string JudgedValue(double value, const std::string& unit, bool hasLimits, double low,
                        double high);

// `text` cut to at most `bytes` bytes (then marked "..."), never inside a UTF-8 sequence.
std::string CutText(const std::string& text, size_t bytes);

}  // namespace yield
