#include "serve/alarmRule.h"

#include <algorithm>
#include <set>

namespace yield {
namespace {

constexpr char kKeySeparator = '\x1f';
constexpr char kPortSeparator[] = ", ";

// One condition per station with a flagged port, in the order the fixture view first names them.
std::vector<AlarmCondition> FlaggedPorts(const ReportModel& m) {
    std::vector<AlarmCondition> out;
    for (const FixtureCell& cell : m.fixture) {
        if (!cell.flagged) continue;
        auto same = [&cell](const AlarmCondition& c) { return c.station == cell.host; };
        auto it = std::find_if(out.begin(), out.end(), same);
        if (it == out.end()) {
            out.push_back({kAlarmFlaggedPort, cell.host, cell.port, cell.rate, cell.runs});
            continue;
        }
        it->port += kPortSeparator + cell.port;
        if (cell.rate <= it->rate) continue;
        it->rate = cell.rate;
        it->boards = cell.runs;
    }
    return out;
}

std::vector<AlarmCondition> LowYields(const ReportModel& m, const AlarmRule& rule) {
    std::vector<AlarmCondition> out;
    for (const RecentBoards& w : m.recent) {
        if (w.boards < rule.boards || w.firstPassYield >= rule.minYield) continue;
        out.push_back({kAlarmLowYield, w.station, "", w.firstPassYield, w.boards});
    }
    return out;
}

}  // namespace

std::string AlarmCondition::Key() const { return kind + kKeySeparator + station; }

std::vector<AlarmCondition> AlarmConditions(const ReportModel& m, const AlarmRule& rule) {
    std::vector<AlarmCondition> out = FlaggedPorts(m);
    std::vector<AlarmCondition> low = LowYields(m, rule);
    out.insert(out.end(), low.begin(), low.end());
    return out;
}

std::vector<Alarm> AlarmBook::Update(const std::vector<AlarmCondition>& now,
                                     const std::string& at) {
    std::map<std::string, const AlarmCondition*> holding;
    std::vector<Alarm> raised;
    for (const AlarmCondition& c : now) {
        std::string key = c.Key();
        if (!holding.emplace(key, &c).second) continue;
        if (holding_.count(key) != 0) continue;
        raised.push_back({nextId_++, c, at});
    }
    holding_.clear();
    for (const auto& entry : holding) holding_.insert(entry.first);
    shown_.insert(shown_.end(), raised.begin(), raised.end());
    if (shown_.size() > kMaxShown)
        shown_.erase(shown_.begin(), shown_.end() - static_cast<long>(kMaxShown));
    // The newest alarm of a condition that holds shows it as it stands (a second port flagged).
    std::set<std::string> seen;
    for (auto a = shown_.rbegin(); a != shown_.rend(); ++a) {
        auto it = holding.find(a->condition.Key());
        if (it != holding.end() && seen.insert(it->first).second) a->condition = *it->second;
    }
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
