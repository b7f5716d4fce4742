// Per-run exports: a JUnit XML file for the line's MES and CI tools, and a JSON test record
// (device, start and end, outcome, phases with measurements and limits).
#pragma once

#include <string>

#include "runRecord.h"

namespace yield {

// One test suite per run; a test case per port of each family and per measurement. A failed
// port's failure carries the log lines that explain it.
std::string RunJunitXml(const RunRecord& run);
std::string RunJsonRecord(const RunRecord& run);

// "<chip>_<stamp>_<host>" made safe for a file name, prefixed with the run's number so that
// two runs whose names clean to the same text stay apart.
std::string ExportStem(long long runId, const RunRecord& run);

// "YYYY-MM-DD HH:MM:SS" (the log's local time) as ISO 8601 "YYYY-MM-DDTHH:MM:SS".
std::string IsoTime(const std::string& logTime);

// The log lines that explain why `port` failed: failure lines and failed measurements naming the
// port or its family.
std::vector<std::string> ExplainingLines(const RunRecord& run, const std::string& port);

}  // namespace yield
