// The line screen's JSON: one more writer of the report model (ReadReport with ScreenReading).
// Its tables take their columns, by key, from the report's table definitions (reportTables.h),
// and carry them under "columns" (key, heading and kind, in the order people see them), so that
// the page draws each table from the list.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>

#include "report/reportModel.h"

namespace yield {

// How many boards of the repair queue the screen lists, the first of the queue's order; the
// rest are counted and left to the report, so that every change does not send every page a
// day's worth of failures.
constexpr size_t kScreenRepairs = 100;

// The kinds of a column as the page reads them.
constexpr char kKindText[] = "text";
constexpr char kKindInteger[] = "integer";
constexpr char kKindRatio[] = "ratio";
constexpr char kKindFlag[] = "flag";
constexpr char kKindDecimals[] = "decimals";

// The day's figures of `m` (a model of one day: its filter's first day is the day).
nlohmann::json ScreenJson(const ReportModel& m);

}  // namespace yield
