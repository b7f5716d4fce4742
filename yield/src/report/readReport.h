// The one way from a store and a selection to the report model: what the command line, the report
// pages and the line screen each read.
#pragma once

#include <ctime>
#include <string>

#include "report/reportModel.h"
#include "report/reportRequest.h"
#include "store/store.h"

namespace yield {

struct ReadOptions {
    std::string madeAt;        // the model's Selection, as the caller gives it
    std::string database;      // without a password
    bool readings = true;      // false: no analogue readings are read (the screen shows none)
    int recentBoards = 0;      // each station's latest boards kept in `recent` (the alarm's window)
    long long latestRuns = 0;  // the latest stored runs, of any day, read into `latest`
    bool hours = false;        // count the boards per station and hour (the screen shows them)
    std::time_t now = 0;       // the repair queue's times in queue are taken at it; 0: unknown
    // The repair queue's rows whose failing values are read (the head an output lists).
    size_t quotedRepairs = kQuoteEveryRepair;
};

// What `format` shows of the repair queue: the rows whose failing values are read.
size_t QuotedRepairs(const ReportFormat& format);

// The alarms a report reads: the newest this many, of them those raised on the selection's days
// (by their UTC day) at its station.
constexpr long long kReportAlarmRows = 1000;

// What the line screen reads of a day: no readings, its latest runs and the alarm's window.
constexpr long long kScreenLatestRuns = 20;
ReadOptions ScreenReading(int alarmBoards);
// The runs of one day (YYYY-MM-DD).
RunFilter DayFilter(const std::string& day);

// The model of the runs `filter` selects. Every run of the filter's days is read, so that a
// station or host is compared with the others; the analogue readings and the runs left out for
// want of a day are the filter's own.
ReportModel ReadReport(ReadStore& store, const RunFilter& filter, const ReadOptions& o = {});

}  // namespace yield
