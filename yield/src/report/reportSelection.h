// What a report says about itself: the days it covers, when it was made and from which database;
// and the recent days that --today and --days select.
#pragma once

#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace yield {

constexpr char kPeriodDay[] = "day";
constexpr char kPeriodWeek[] = "week";

// The first-pass yield a line aims at unless it sets its own (--target-yield).
constexpr double kDefaultTargetYield = 0.95;
// A yield this far below the target or less is amber (warn); further below, red (bad).
constexpr double kTargetBand = 0.05;

// What the report covers and where it comes from; the time and database are the caller's.
struct Selection {
    std::string since, until, host, station;  // as asked
    std::string firstDay, lastDay;            // of the selected runs; "" when none has a day
    std::string trendPeriod;                  // kPeriodDay or kPeriodWeek
    std::string madeAt;                       // UTC, 2026-12-07T22:22:47Z
    std::string database;                     // without a password
    // The line's first-pass target, 0 to 1: the HTML charts draw against it.
    double target = kDefaultTargetYield;
    long long clockUnsetRuns = 0;  // runs of unset clocks, counted on the day their file arrived
};

// A hundred years of days: more reaches before any run and past what a day text can say.
constexpr int kMostDays = 36500;
// `text` as a count of recent days, 1 to kMostDays; false when it is not one.
bool ParseDays(const std::string& text, int& n);
// The first and last of `n` days (n >= 1) ending with `today`.
std::pair<std::string, std::string> RecentDays(const std::string& today, int n);
// The local day of `when`, as YYYY-MM-DD.
std::string LocalDay(std::time_t when);
// `when` in UTC, as 2026-12-07T22:22:47Z.
std::string UtcStamp(std::time_t when);
// The time a report is made at: SOURCE_DATE_EPOCH (seconds since the epoch) when `epoch` gives
// one, so that the same database gives the same bytes; else `now`. False for an `epoch` that is
// set but is no whole number of seconds.
bool MadeAt(const char* epoch, std::time_t now, std::time_t& when);
// A --db as a report may show it: a PostgreSQL URI without its password (in the user part or as
// a parameter), followed by the server and database it reached (`server`, the store's
// ServerName, in brackets) when given; anything else as given.
std::string DatabaseForPeople(const std::string& db, const std::string& server = {});

// The report's selection as labelled lines: what was asked, the days present, when the report
// was made and from which database (the last line), for the text and HTML reports.
std::vector<std::pair<std::string, std::string>> SelectionLines(const Selection& s);

}  // namespace yield
