// Runs of a board whose clock was never set: stamped 1970 (or any time the run cannot have
// started at), they are counted on the day their file arrived instead of the stamp's day.
#pragma once

#include <ctime>
#include <string>

#include "parse/runRecord.h"

namespace yield {

// No board of the line ran before this day: an earlier stamp is a clock that was never set.
constexpr char kEarliestStamp[] = "2021_01_01_00_00_00";
// How far a stamp may lie after its file's arrival (time zones, a clock a little fast).
constexpr long long kClockSlackSeconds = 2LL * 24 * 60 * 60;

// When a run's file arrived: its modification time (nanoseconds) when that is a plausible time
// (not before kEarliestStamp nor past `now` and the slack), else `now` (the ingest's time).
std::time_t ArrivalTime(long long mtimeNs, std::time_t now);

// True when `stamp` (the run's own, local time) is before kEarliestStamp or more than
// kClockSlackSeconds after `arrival`. A stamp that gives no time is not judged here.
bool StampIsUnset(const std::string& stamp, std::time_t arrival);

// Flags `run` (clockUnset, arrivalDay: the local day of its arrival) when its stamp is unset.
void MarkUnsetClock(RunRecord& run, long long mtimeNs, std::time_t now);

// The stamp (kTimeStampFmt, local time) of `when`: bounds a query on stored stamps.
std::string StampOf(std::time_t when);

}  // namespace yield
