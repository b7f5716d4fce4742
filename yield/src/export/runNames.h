// How an exported run is named: its file name and its times in ISO 8601. Shared by the exports
// (exportJunit.cpp, exportJson.cpp) and the export command that names their files.
#pragma once

#include <string>

#include "runRecord.h"

namespace yield {

// "<chip>_<stamp>_<host>_<hash>" from the run's key alone, so that every database names a run
// alike: each part made safe for a file name and bounded, and a hash of the whole key so that two
// runs whose parts clean or shorten to the same text stay apart.
std::string ExportStem(const RunRecord& run);

// "YYYY-MM-DD HH:MM:SS" (the log's local time) as ISO 8601 "YYYY-MM-DDTHH:MM:SS".
std::string IsoTime(const std::string& logTime);

}  // namespace yield
