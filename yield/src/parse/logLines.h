// Splits a trace log's bytes into its records. A line of the file starts a record only when it
// begins with the full prefix "N=[tag][YYYY-MM-DD HH:MM:SS] " and N is the next sequence number;
// any other line continues the message before it. So a value holding a line feed (a host name
// with "\n5=[RtLog] Test Q7 OK!!!") stays inside its own record and cannot forge one. A line
// ends in LF, and CRs right before the LF belong to the line end: a copy made by a tool that
// ends lines with CR LF reads as the original.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace yield {

struct LogRecord {
    long seq = 0;
    std::string tag;
    std::string time;     // "YYYY-MM-DD HH:MM:SS"
    std::string message;  // without the "\t<file> <function> line=<n>" tail and the line end
    // False for a last record the file may have cut: its last line has no line end, or it lacks
    // the caller tail every record ends in (a cut right after a line end inside its message).
    bool whole = true;
    bool followed = false;  // the next record starts after it: surely whole
};

// The records in file order; lines before the first record are dropped, and so is a last line
// without line end that is only the start of the next record's prefix (a copy cut there).
std::vector<LogRecord> SplitRecords(std::string_view bytes);

// How many CRs belong to line ends: a file's size less this is its size with LF line ends.
long long LineEndCrs(std::string_view bytes);

// Removes the caller tail the tool appends to every message, when it is there.
std::string_view StripCallerTail(std::string_view message);

}  // namespace yield
