// One request for the report and for a board, whichever door it comes through: the command
// line's options (cli/cmdReport.cpp, cli/cmdBoard.cpp) or the server's query parameters
// (serve/pages.cpp). Each door fills a ReportRequest with the texts it was given; the request is
// checked here once, with one set of messages that name each option the way its door spells it
// (--days, or days), and answered through the one table of formats.
#pragma once

#include <map>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "report/reportModel.h"
#include "store/runRows.h"

namespace yield {

class ReadStore;

// Where a request came from: it decides how an option is spelled in a message.
enum class Door { kCommandLine, kQuery };

// A request its door refuses as wrong (exit status 2, HTTP 400).
struct RequestError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// A request that names something that holds no run (exit status 1, HTTP 404).
struct NothingSelected : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The request's parts, by their query names; the command line spells them with "--".
constexpr char kFormatPart[] = "format";
constexpr char kTablePart[] = "table";
constexpr char kSincePart[] = "since";
constexpr char kUntilPart[] = "until";
constexpr char kHostPart[] = "host";
constexpr char kStationPart[] = "station";
constexpr char kTodayPart[] = "today";
constexpr char kDaysPart[] = "days";
constexpr char kOutputPart[] = "-o";  // the command line's only
// The one value a query's today takes (the command line's --today is a flag).
constexpr char kTodayValue[] = "1";

// `part` as `door` spells it: "--days" on the command line, "days" in a query.
std::string Spelled(Door door, const char* part);

// The content types the formats are served as.
constexpr char kTextType[] = "text/plain; charset=utf-8";
constexpr char kCsvType[] = "text/csv; charset=utf-8";
constexpr char kJsonType[] = "application/json";
constexpr char kHtmlType[] = "text/html; charset=utf-8";

// One way of writing the report: its name (--format, format=), the content type it is served
// as, and its writer. A format of tables writes one table per file, the one `table` names.
struct ReportFormat {
    const char* name;
    const char* contentType;
    bool ofTables;
    void (*write)(const ReportModel& m, const std::string& table, std::ostream& out);
    bool headOnly;  // lists the head of each long list (kHeadRows), for people
};
// The formats in the order a list of them gives them; the first is the default.
const std::vector<ReportFormat>& ReportFormats();
// The format named `name`, or null.
const ReportFormat* FindReportFormat(const std::string& name);
// The format names for people: "text, csv, json or html".
std::string ReportFormatNames();

// What a door was asked, as given: empty texts (or none) for the parts not given.
struct ReportRequest {
    Door door = Door::kCommandLine;
    RunFilter filter;
    std::optional<std::string> format;  // none: the first format
    std::string table;
    bool today = false;
    std::string todayValue = kTodayValue;  // a query's today=VALUE
    std::optional<std::string> days;
    bool toFolder = false;  // the command line's -o names a folder: one file per table
};

// A checked request: the filter (today and days still apart), the format, the tables to write
// (for a format of tables: each to a file of its own, or the one asked), the recent days.
struct ReportAsked {
    Door door = Door::kCommandLine;
    RunFilter filter;
    const ReportFormat* format = nullptr;
    std::vector<std::string> tables;
    int days = 0;  // today: 1; none asked: 0

    // The filter, with the recent days asked as the days ending with `today` (YYYY-MM-DD).
    RunFilter FilterFrom(const std::string& today) const;
};

// `request` checked: throws RequestError for a day that is none, days the wrong way round or
// beside today or days, a format or table that does not exist, a table for a format without
// tables, a days count out of 1..kMostDays, today with days or with a value other than 1.
ReportAsked CheckReportRequest(const ReportRequest& request);

// A query's parameters as a request; throws RequestError for a name that is no part of one.
ReportRequest RequestOfQuery(const std::map<std::string, std::string>& query);

// The message of a day that is none, and of days the wrong way round, for the door's options.
std::string NotADay(const std::string& value);
std::string SwappedDays(Door door, const RunFilter& filter);

// Throws NothingSelected when `filter` names a day, a host or a station and selects no run (`runs`
// is 0): a mistyped host or day would otherwise read as a day without boards. The message lists
// what `store` holds of each part named (its stations, hosts, the span of its days).
void RefuseEmptySelection(Door door, const RunFilter& filter, long long runs, ReadStore& store);

// Writes `m` as `asked` says: its format, and its first table for a format of tables.
void WriteAsked(const ReportModel& m, const ReportAsked& asked, std::ostream& out);

// One stored processor ID and its runs, newest first.
struct BoardRuns {
    std::string chipId;
    std::vector<long long> runIds;
};
// The runs of the processor ID `asked` as it was logged; else of every stored ID that is the same
// in another case or with or without a leading 0x, each apart, in byte order. None when no
// stored ID is `asked`.
std::vector<BoardRuns> FindBoard(ReadStore& store, const std::string& asked);
// The message of a processor ID without a stored run.
std::string NoRunOf(const std::string& asked);

}  // namespace yield
