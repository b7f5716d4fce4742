// Days as YYYY-MM-DD on the Gregorian calendar: checking them, counting them, their ISO weeks.
// One place for a run's day, the command line's day check, the report's trends and the charts.
#pragma once

#include <ctime>
#include <string>

namespace yield {

// From the first to the last day past this many days, trends and the yield chart show ISO
// weeks instead of days.
constexpr long long kDaysBeforeWeeks = 31;

// True for a YYYY-MM-DD that is a calendar date (month lengths and leap years known).
bool IsDay(const std::string& day);
// Days since 1970-01-01 of a calendar date; false when `day` is none.
bool DayNumber(const std::string& day, long long& number);
// The YYYY-MM-DD `number` days after 1970-01-01.
std::string DayText(long long number);
// "2026-W49": the ISO 8601 week a day falls in (the week's own year, which differs from the
// day's around the turn of the year); "" when `day` is no calendar date.
std::string IsoWeek(const std::string& day);
// Days from `first` to `last`, both counted; 0 when either is no calendar date.
long long DaySpan(const std::string& first, const std::string& last);

// The day (YYYY-MM-DD) and the hour (0-23) of a run's time stamp, read with the layout the log
// header writes it in (tracefmt::kTimeStampFmt); "" and -1 when the stamp gives none. Only the
// stamp's fields up to the one asked for are read.
std::string StampDay(const std::string& stamp);
// Whether `day` is the day `stamp` gives (StampDay's, never ""): a run stored under another day
// was stored under the day its file arrived. Read without making the day's text.
bool IsStampDay(const std::string& day, const std::string& stamp);
int StampHour(const std::string& stamp);
// The stamp's whole clock reading (its zone left to mktime: tm_isdst -1); false when it gives
// no calendar date and time of day.
bool StampClock(const std::string& stamp, std::tm& clock);

// The stamp as an ISO 8601 local time without an offset ("2026-12-07T10:43:33": the board logs
// no zone); "" when the stamp is not a whole time on the calendar.
std::string StampIso(const std::string& stamp);

}  // namespace yield
