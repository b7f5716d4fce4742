#include "alarmRule.h"

#include <algorithm>

namespace yield {
namespace {

constexpr char kKeySeparator = '\x1f';

std::vector<AlarmCondition> FlaggedPorts(const ReportModel& m) {
    std::vector<AlarmCondition> out;
    for (const FixtureCell& cell : m.fixture) {
        if (!cell.flagged) continue;
        out.push_back({kAlarmFlaggedPort, cell.host, cell.port, cell.rate, cell.runs});
    }
    return out;
}

std::vector<AlarmCondition> LowYields(const std::vector<FirstTest>& tests, const AlarmRule& rule) {
    std::vector<AlarmCondition> out;
    for (const StationWindow& w : RecentFirstPass(tests, rule.boards)) {
        if (w.boards < rule.boards || w.firstPassYield >= rule.minYield) continue;
        out.push_back({kAlarmLowYield, w.station, "", w.firstPassYield, w.boards});
    }
    return out;
}

}  // namespace

std::string AlarmCondition::Key() const {
    return kind + kKeySeparator + station + kKeySeparator + port;
}

std::vector<StationWindow> RecentFirstPass(const std::vector<FirstTest>& tests, int n) {
    std::map<std::string, StationWindow> windows;
    // Newest first, so each station's window fills with its latest boards.
    for (auto t = tests.rbegin(); t != tests.rend(); ++t) {
        StationWindow& w = windows[t->station];
        if (w.boards >= n) continue;
        w.station = t->station;
        ++w.boards;
        w.firstPassed += t->firstPassed ? 1 : 0;
    }
    std::vector<StationWindow> out;
    for (auto& [station, w] : windows) {
        w.firstPassYield = static_cast<double>(w.firstPassed) / static_cast<double>(w.boards);
        out.push_back(w);
    }
    return out;
}

std::vector<AlarmCondition> AlarmConditions(const ReportModel& m,
                                            const std::vector<FirstTest>& tests,
                                            const AlarmRule& rule) {
    std::vector<AlarmCondition> out = FlaggedPorts(m);
    std::vector<AlarmCondition> low = LowYields(tests, rule);
    out.insert(out.end(), low.begin(), low.end());
    return out;
}

std::vector<Alarm> AlarmBook::Update(const std::vector<AlarmCondition>& now,
                                     const std::string& at) {
    std::map<std::string, bool> holding;
    std::vector<Alarm> raised;
    for (const AlarmCondition& c : now) {
        std::string key = c.Key();
        if (holding.count(key) != 0) continue;
        holding[key] = true;
        if (holding_.count(key) != 0) continue;
        raised.push_back({nextId_++, c, at});
    }
    holding_ = std::move(holding);
    shown_.insert(shown_.end(), raised.begin(), raised.end());
    if (shown_.size() > kMaxShown)
        shown_.erase(shown_.begin(), shown_.end() - static_cast<long>(kMaxShown));
    return raised;
}

bool AlarmBook::Clear(long long id) {
    auto it =
        std::find_if(shown_.begin(), shown_.end(), [id](const Alarm& a) { return a.id == id; });
    if (it == shown_.end()) return false;
    shown_.erase(it);
    return true;
}

}  // namespace yield
