// What the server's I/O thread reads and the worker writes: the screen's JSON, the alarms and a
// generation that grows with every change of either, which the live pages follow.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "serve/alarmRule.h"

namespace yield {

// The screen's body: {"data": the screen's JSON, "alarms": [the alarms shown], "alarm_history":
// [the newest alarms, cleared or not, newest first]}, as text; data is null before the first
// read of the database (and the alarms empty). Bytes that are not UTF-8 (a log's text can hold
// any) become U+FFFD.
constexpr char kScreenData[] = "data";
constexpr char kScreenAlarms[] = "alarms";
constexpr char kScreenAlarmHistory[] = "alarm_history";
constexpr long long kScreenAlarmHistoryRows = 20;
std::string ScreenBody(const nlohmann::json& data, const nlohmann::json& alarms,
                       const nlohmann::json& history);
// The body before the first read of the database.
const std::string& NoScreenBody();

// What the screen shows in place of the figures when the database cannot be read: why, under
// kUnreadable, which the page shows as a banner over the figures it had.
constexpr char kUnreadable[] = "unreadable";
nlohmann::json UnreadableJson(const std::string& why);
// Each alarm with the database's column names as members; a figure of the other kind and a step
// not taken are null.
nlohmann::json AlarmsJson(const std::vector<AlarmRow>& alarms);

// What the HTTP side reads: the screen's JSON and the alarms, and a generation that grows with
// every change of either.
class Live {
public:
    // `tell` is called at every change, under the lock: it must only hand the news on (post it),
    // never call back into this object. Set before any change is published.
    void OnChange(std::function<void()> tell) {
        std::lock_guard<std::mutex> lock(m_);
        tell_ = std::move(tell);
    }
    uint64_t Generation() {
        std::lock_guard<std::mutex> lock(m_);
        return generation_;
    }
    // The generation once it differs from `seen`, or after `wait`, or once stopped.
    uint64_t WaitChange(uint64_t seen, std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait_for(lock, wait, [&] { return stopped_ || generation_ != seen; });
        return generation_;
    }
    std::string Body() { return *Snapshot().body; }
    // The body and its generation, taken together; built once per change and shared by every
    // live page.
    struct Shot {
        uint64_t generation;
        std::shared_ptr<const std::string> body;
    };
    Shot Snapshot() {
        std::lock_guard<std::mutex> lock(m_);
        return {generation_, body_};
    }
    void Publish(nlohmann::json data) {
        std::lock_guard<std::mutex> lock(m_);
        data_ = std::move(data);
        Bump();
    }
    // The alarms shown and the newest of every alarm; a change only when they differ from
    // those published before.
    void PublishAlarms(const std::vector<Alarm>& shown, const std::vector<AlarmRow>& history) {
        nlohmann::json alarms = AlarmsJson(shown), newest = AlarmsJson(history);
        std::lock_guard<std::mutex> lock(m_);
        if (alarms == alarms_ && newest == history_) return;
        alarms_ = std::move(alarms);
        history_ = std::move(newest);
        Bump();
    }
    void Stop() {
        std::lock_guard<std::mutex> lock(m_);
        stopped_ = true;
        cv_.notify_all();
    }
    bool Stopped() {
        std::lock_guard<std::mutex> lock(m_);
        return stopped_;
    }

private:
    void Bump() {
        ++generation_;
        body_ = std::make_shared<const std::string>(ScreenBody(data_, alarms_, history_));
        cv_.notify_all();
        if (tell_) tell_();
    }
    std::mutex m_;
    std::condition_variable cv_;
    uint64_t generation_ = 0;
    nlohmann::json data_;  // null until published
    std::shared_ptr<const std::string> body_ = std::make_shared<const std::string>(NoScreenBody());
    nlohmann::json alarms_ = nlohmann::json::array();
    nlohmann::json history_ = nlohmann::json::array();
    bool stopped_ = false;
    std::function<void()> tell_;
};

}  // namespace yield
