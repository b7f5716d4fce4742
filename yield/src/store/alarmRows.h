// The line screen's alarms as the database keeps them: raised when a condition starts to hold,
// ended when it stops, acknowledged and cleared by someone with a note. Each step is taken once
// and never overwritten, so a row is the alarm's whole history.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace yield {

constexpr char kAlarmFlaggedPort[] = "flagged-port";
constexpr char kAlarmLowYield[] = "low-yield";

struct AlarmRow {
    long long id = 0;
    std::string kind;      // kAlarmFlaggedPort or kAlarmLowYield
    std::string station;   // the station (fixture) it is about
    std::string ports;     // the flagged ports, ", " between them; "" for a low yield
    long long boards = 0;  // the boards the figure counts: the port's, or the station's window
    std::optional<double> portFailureRate;  // the worst flagged port's; a flagged port only
    std::optional<double> firstPassYield;   // the window's; a low yield only
    // ISO 8601 in UTC (YYYY-MM-DDTHH:MM:SSZ); "" for a step not taken.
    std::string raisedAt;
    std::string endedAt;  // when the condition stopped holding
    std::string acknowledgedAt, acknowledgedBy, acknowledgeNote;
    std::string clearedAt, clearedBy, clearNote;
};

enum class AlarmStep { Acknowledge, Clear };
enum class AlarmStepOutcome {
    Taken,
    NoSuchAlarm,
    AlreadyTaken,  // acknowledged or cleared before (an alarm cleared cannot be acknowledged)
};

// Who takes a step, why, and when (ISO 8601 in UTC).
struct AlarmNote {
    std::string by;
    std::string note;
    std::string at;
};

// The alarms' writing side, and what the screen's book reads back. Every method throws
// StoreError.
class AlarmStore {
public:
    virtual ~AlarmStore() = default;
    // Stores a new alarm (its id, times and steps ignored); returns its id.
    virtual long long RaiseAlarm(const AlarmRow& a) = 0;
    // The alarm's condition stopped holding at `at`; an alarm ended before keeps its time.
    virtual void EndAlarm(long long id, const std::string& at) = 0;
    virtual AlarmStepOutcome TakeAlarmStep(long long id, AlarmStep step, const AlarmNote& n) = 0;
    // The alarms not cleared and those whose condition has not ended, oldest first.
    virtual std::vector<AlarmRow> LiveAlarms() = 0;
    // A text that changes whenever an alarm is raised, ended, acknowledged or cleared.
    virtual std::string AlarmsVersion() = 0;
};

}  // namespace yield
