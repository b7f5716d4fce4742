// The command a line gives with --on-alert, run once per new alarm. Never through a shell: the
// user's own words are split on spaces, the alarm's details (which come from the logs and can hold
// anything) follow as arguments of their own and are set in the environment.
#pragma once

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "serve/alarmRule.h"

namespace yield {

constexpr char kAlertKind[] = "DEVUZE_ALERT_KIND";
constexpr char kAlertStation[] = "DEVUZE_ALERT_STATION";
constexpr char kAlertPort[] = "DEVUZE_ALERT_PORT";
// A flagged port's failure rate, or a low yield's first-pass yield: each set for its kind only.
constexpr char kAlertFailureRate[] = "DEVUZE_ALERT_FAILURE_RATE";
constexpr char kAlertFirstPassYield[] = "DEVUZE_ALERT_FIRST_PASS_YIELD";
constexpr char kAlertBoards[] = "DEVUZE_ALERT_BOARDS";  // the boards that figure counts
constexpr char kAlertId[] = "DEVUZE_ALERT_ID";

// The words of `command`, split on spaces; empty words dropped.
std::vector<std::string> CommandWords(const std::string& command);
// `words`, then the alarm's kind, station, ports and its figure (the failure rate of a flagged
// port, the first-pass yield of a low yield, as RatePercent) as arguments of their own.
std::vector<std::string> AlertArguments(const std::vector<std::string>& words, const Alarm& a);
// NAME=VALUE for each detail of the alarm.
std::vector<std::string> AlertEnvironment(const Alarm& a);
// A rate as the alert gives it: a percentage with one decimal, "62.5".
std::string RatePercent(double rate);

// Starts the alert without waiting for it. Returns the process id, or -1 when it could not be
// started.
int StartAlert(const std::vector<std::string>& words, const Alarm& a);

// The alerts of one server: at most `maxRunning` commands at once, the alarms beyond them waiting
// in the order they were raised; when `maxWaiting` already wait, the alert of a new alarm is not
// run, and standard error says so. Never blocks: the screen's refresh raises and reaps.
class AlertQueue {
public:
    static constexpr size_t kMaxRunning = 4;
    static constexpr size_t kMaxWaiting = 256;

    explicit AlertQueue(std::vector<std::string> words, size_t maxRunning = kMaxRunning,
                        size_t maxWaiting = kMaxWaiting);
    // Runs the alert of `a` now, or queues it.
    void Raise(const Alarm& a);
    // Collects the alerts that ended (saying on standard error which of them failed) and starts
    // those waiting in their place.
    void Reap();
    size_t Running() const { return running_.size(); }
    size_t Waiting() const { return waiting_.size(); }

private:
    void Start(const Alarm& a);

    std::vector<std::string> words_;
    size_t maxRunning_, maxWaiting_;
    std::set<int> running_;
    std::deque<Alarm> waiting_;
};

}  // namespace yield
