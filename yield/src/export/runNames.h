// How an exported run is named: its file name and its times in ISO 8601. Shared by the exports
// (exportJunit.cpp, exportJson.cpp) and the export command that names their files.
#pragma once

#include <string>

#include "parse/runRecord.h"

namespace yield {

// "<chip>_<stamp>_<host>_<hash>" from the run's key alone, so that every database names a run
// alike: each part made safe for a file name and bounded, and a hash of the whole key so that two
// runs whose parts clean or shorten to the same text stay apart.
std::string ExportStem(const RunRecord& run);

// "YYYY-MM-DD HH:MM:SS" (the log's local time) as ISO 8601 "YYYY-MM-DDTHH:MM:SS".
std::string IsoTime(const std::string& logTime);

// The same with the UTC offset this host's time zone (TZ) has at that local time, e.g.
// "2026-12-07T12:00:51+01:00": the board logs its local time without a zone, and the line's
// boards and the hosts that read their logs keep one zone. In the hour a clock change repeats,
// the summer time's offset; a time in the hour it skips gets the offset before the change, so
// the text names the instant the board's clock meant. A text that is no such time is given back
// as IsoTime gives it.
std::string IsoTimeWithZone(const std::string& logTime);

// A run's first and last log times as IsoTimeWithZone writes them, and the seconds between
// them. Where a clock change repeats an hour, each time takes the offset under which the run
// ends no earlier than it starts, and lasts least; 0 seconds when either time is unreadable or
// the clock went back further than the change.
struct RunSpan {
    std::string start;
    std::string end;
    double seconds = 0;
};
RunSpan RunSpanOf(const RunRecord& run);

}  // namespace yield
