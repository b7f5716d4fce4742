// Turns one file's bytes into one run record. Pure: no files, no database.
#pragma once

#include <string>
#include <string_view>

#include "parse/runRecord.h"

namespace yield {

struct ParseResult {
    enum class Kind { Run, Empty, Foreign };
    Kind kind = Kind::Foreign;
    std::string reason;  // why the file is not a run's log
    RunRecord run;
};

// A run's log is recognised by its header records ("hostname:", "DateTime:", "iMx6ull:"), not by
// its name. `fileName` only serves a rotated tail (a log that starts at record 0 without the
// header): then the identity comes from an archive name "deVuzeV7_H[I]_T[V].log" or
// "deVuzeV7_H[I]_T.log" and the record is marked headerless. A header the file was cut in takes
// the lost key parts from the archive name when the name gives them, or is no run.
ParseResult ParseLog(std::string_view bytes, std::string_view fileName = {});

// Splits an archive name into host, processor ID and time stamp; false when it is not one.
bool ParseArchiveName(std::string_view fileName, std::string& host, std::string& chipId,
                      std::string& timeStamp);

}  // namespace yield
