// When the line screen raises an alarm, and which alarms are still shown. An alarm is raised when
// a condition starts to hold: a station gets a flagged port in the fixture view (one alarm for
// the station, however many of its ports are flagged: a cut cable flags a pair), or a station's
// first-pass yield over its last N boards falls below the threshold. It stays on the page until
// someone clears it, showing the condition as it stands; a condition that keeps holding raises
// nothing more, one that goes away and comes back raises a new alarm. Every alarm is kept in the
// database (alarmRows.h): the book starts from it, so a restart raises nothing that was raised
// before.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "report/reportModel.h"
#include "store/alarmRows.h"

namespace yield {

struct AlarmRule {
    int boards = 10;         // the window: a station's last N boards
    double minYield = 0.80;  // first-pass yield below this over a full window raises an alarm
};

// An alarm as the screen shows it: the stored row, its figures as the condition stands now.
using Alarm = AlarmRow;

struct AlarmCondition {
    std::string kind;  // kAlarmFlaggedPort or kAlarmLowYield
    std::string station;
    std::string ports;     // the flagged ports, ", " between them; "" for a low yield
    long long boards = 0;  // the worst flagged port's boards, or the window's boards
    std::optional<double> portFailureRate;  // the worst flagged port's failure rate (of its runs)
    std::optional<double> firstPassYield;   // the window's first-pass yield
    std::string Key() const;                // the kind and station: what makes an alarm new
};

// The conditions holding now: the flagged cells of `m`, and the stations whose full window of
// `rule.boards` boards (`m.recent`, built with that window) is below `rule.minYield` (a station
// with fewer boards raises nothing yet).
std::vector<AlarmCondition> AlarmConditions(const ReportModel& m, const AlarmRule& rule);

// Who acknowledges or clears an alarm must be named, in at most kMaxAlarmByBytes; a note takes at
// most kMaxAlarmNoteBytes; neither holds control characters (a line break among them).
constexpr size_t kMaxAlarmByBytes = 64;
constexpr size_t kMaxAlarmNoteBytes = 500;
// What is wrong with `n`'s who and note, "" for nothing.
std::string AlarmNoteProblem(const AlarmNote& n);

// The key of a stored alarm, as AlarmCondition::Key.
std::string AlarmKey(const AlarmRow& a);

class AlarmBook {
public:
    // At most this many alarms are shown; the oldest go first.
    static constexpr size_t kMaxShown = 100;
    // Starts again from the stored alarms (AlarmStore::LiveAlarms): those not cleared are shown,
    // those whose condition has not ended hold, so that they are not raised again. The
    // conditions of the last update are shown on them again.
    void Load(const std::vector<AlarmRow>& live);
    // Takes the conditions holding now: stores a new alarm for each that started to hold, and
    // the end of each that stopped; returns the alarms raised. A shown alarm whose condition
    // still holds takes its figures as they are now. Throws StoreError; what was stored before
    // the error is in the book.
    std::vector<Alarm> Update(const std::vector<AlarmCondition>& now, const std::string& at,
                              AlarmStore& store);
    const std::vector<Alarm>& Shown() const { return shown_; }

private:
    void ShowFigures();

    std::map<std::string, long long> holding_;  // the open alarm of each condition that holds
    std::vector<Alarm> shown_;
    std::vector<AlarmCondition> last_;  // the conditions of the last update
};

}  // namespace yield
