// The line screen's JSON: one more writer of the report model (ReadReport with ScreenReading).
// Its tables take their columns, by key, from the report's table definitions (reportTables.h),
// and carry them under "columns" (key, heading and kind, in the order people see them), so that
// the page draws each table from the list.
#pragma once

#include <cstddef>
#include <ctime>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "report/reportModel.h"
#include "store/store.h"

namespace yield {

// How many boards of the repair queue the screen lists, the first of the queue's order; the
// rest are counted and left to the report, so that every change does not send every page a
// day's worth of failures.
constexpr size_t kScreenRepairs = 100;
// The same for the day's other lists: the stations (the first in the table's order, and the
// hours of those only) and the fixture flags. A list's whole count is its key with kTotalSuffix
// ("stations_total", "repairs_total", "flags_total").
constexpr size_t kScreenRows = 100;
constexpr char kTotalSuffix[] = "_total";

// The kinds of a column as the page reads them.
constexpr char kKindText[] = "text";
constexpr char kKindInteger[] = "integer";
constexpr char kKindRatio[] = "ratio";
constexpr char kKindFlag[] = "flag";
constexpr char kKindDecimals[] = "decimals";

// The day's figures of `m` (a model of one day: its filter's first day is the day).
nlohmann::json ScreenJson(const ReportModel& m);

// ---- the wall screen ----
// The wall's member of the screen's JSON (kWall): the line's target, each station's tile with
// its last upload, and the server's clock. Times are the server's local time with its UTC offset
// (2026-12-08T14:03:00+01:00), so the wall shows the server's zone whatever the browser's.

constexpr char kWall[] = "wall";
// An expected station that brought no logs for this many minutes is quiet.
constexpr int kDefaultQuietMinutes = 30;
// Without a list of the line's stations, those that brought logs in these last days are expected.
constexpr int kSeenDays = 7;
// The wall lists at most this many stations (expected ones first); the rest are counted.
constexpr size_t kWallStations = 48;

// A yield against the target: kBandGood at or above it, kBandWarn within kTargetBand below it,
// kBandBad under that; kBandNone without boards.
constexpr char kBandGood[] = "good";
constexpr char kBandWarn[] = "warn";
constexpr char kBandBad[] = "bad";
constexpr char kBandNone[] = "none";
const char* YieldBand(double yield, long long boards, double target);

struct WallSettings {
    double target = kDefaultTargetYield;  // 0 to 1
    int quietMinutes = kDefaultQuietMinutes;
    std::vector<std::string> stations;  // expected; empty: those seen in the last kSeenDays days
};

// `when` in the local time zone with its offset, as 2026-12-08T14:03:00+01:00; "" when the
// system cannot express it.
std::string LocalIsoTime(std::time_t when);
// The first day whose uploads make a station expected, for the screen's day `today`.
std::string SeenSince(const std::string& today);

// The wall's member for the day of `m`, its stations' last uploads and the server's `now`.
nlohmann::json WallJson(const ReportModel& m, const WallSettings& s,
                        const std::vector<StationUpload>& uploads, std::time_t now);

}  // namespace yield
