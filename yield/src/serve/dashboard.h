// What the line screen shows, read from the store in one go and turned into the JSON the page's
// script reads: the day's yields per station and per hour, the repair queue, the fixture flags and
// the latest runs. Built once per change of the data, then served to every page from memory.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "alarmRule.h"
#include "hourTable.h"
#include "reportModel.h"
#include "store.h"

namespace yield {

// How many of the latest stored runs the screen lists.
constexpr long long kLatestRuns = 20;
// How many boards of the repair queue the screen lists, the first of the queue's order; the
// rest are counted and left to the report, so that every change does not send every page a
// day's worth of failures.
constexpr size_t kScreenRepairs = 100;

struct LatestRun {
    long long id = 0;
    std::string chipId, host, station, timeStamp, verdict, failing;
};

struct Dashboard {
    std::string day;  // YYYY-MM-DD
    ReportModel model;
    std::vector<FirstTest> tests;  // the day's boards, by first run
    std::vector<HourRow> hours;
    std::vector<LatestRun> latest;  // newest first, of any day
};

// The day's runs and the latest runs of `store`.
Dashboard ReadDashboard(ReadStore& store, const std::string& day);

nlohmann::json DashboardJson(const Dashboard& d);
// What the screen shows in place of the figures when the database cannot be read: why, under
// kUnreadable, which the page shows as a banner over the figures it had.
constexpr char kUnreadable[] = "unreadable";
nlohmann::json UnreadableJson(const std::string& why);
nlohmann::json AlarmsJson(const std::vector<Alarm>& alarms);

}  // namespace yield
