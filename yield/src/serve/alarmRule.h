// When the line screen raises an alarm, and which alarms are still shown. An alarm is raised when
// a condition starts to hold: a station gets a flagged port in the fixture view (one alarm for
// the station, however many of its ports are flagged: a cut cable flags a pair), or a station's
// first-pass yield over its last N boards falls below the threshold. It stays on the page until
// someone clears it, showing the condition as it stands; a condition that keeps holding raises
// nothing more, one that goes away and comes back raises a new alarm. Kept in memory only: the
// screen never writes the database.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "report/reportModel.h"

namespace yield {

constexpr char kAlarmFlaggedPort[] = "flagged-port";
constexpr char kAlarmLowYield[] = "low-yield";

struct AlarmRule {
    int boards = 10;         // the window: a station's last N boards
    double minYield = 0.80;  // first-pass yield below this over a full window raises an alarm
};

struct AlarmCondition {
    std::string kind;  // kAlarmFlaggedPort or kAlarmLowYield
    std::string station;
    std::string port;  // the flagged ports, ", " between them; "" for a low yield
    double rate = 0;   // the worst flagged port's failure rate, or the window's first-pass yield
    long long boards = 0;     // that port's runs, or the window's boards
    std::string Key() const;  // the kind and station: what makes an alarm new
};

// The conditions holding now: the flagged cells of `m`, and the stations whose full window of
// `rule.boards` boards (`m.recent`, built with that window) is below `rule.minYield` (a station
// with fewer boards raises nothing yet).
std::vector<AlarmCondition> AlarmConditions(const ReportModel& m, const AlarmRule& rule);

struct Alarm {
    long long id = 0;
    AlarmCondition condition;
    std::string raisedAt;  // UTC stamp
};

class AlarmBook {
public:
    // At most this many alarms are shown; the oldest go first.
    static constexpr size_t kMaxShown = 100;
    // Takes the conditions holding now; returns the alarms this raised. A shown alarm whose
    // condition still holds takes its figures as they are now.
    std::vector<Alarm> Update(const std::vector<AlarmCondition>& now, const std::string& at);
    bool Clear(long long id);  // false when no shown alarm has that id
    const std::vector<Alarm>& Shown() const { return shown_; }

private:
    std::set<std::string> holding_;  // keys of the conditions holding at the last update
    std::vector<Alarm> shown_;
    long long nextId_ = 1;
};

}  // namespace yield
