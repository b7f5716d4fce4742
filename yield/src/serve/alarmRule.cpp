#include "serve/alarmRule.h"

#include <algorithm>

namespace yield {
namespace {

constexpr char kKeySeparator = '\x1f';
constexpr char kPortSeparator[] = ", ";
constexpr char kNoOneNamed[] = "say who takes the step (by)";
constexpr char kNameTooLong[] = "who takes the step (by) is named in at most 64 bytes";
constexpr char kNoteTooLong[] = "a note takes at most 500 bytes";
constexpr char kControlCharacters[] =
    "who and the note are one line each, without control characters";
static_assert(kMaxAlarmByBytes == 64 && kMaxAlarmNoteBytes == 500, "the messages above say so");

bool HasControl(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    });
}

long long BoardsOf(const ReportModel& m, const FixtureCell& cell) {
    auto it = m.portBoards.find({cell.host, cell.port});
    return it == m.portBoards.end() ? 0 : it->second;
}

// One condition per station with a flagged port, in the order the fixture view first names them.
std::vector<AlarmCondition> FlaggedPorts(const ReportModel& m) {
    std::vector<AlarmCondition> out;
    for (const FixtureCell& cell : m.fixture) {
        if (!cell.flagged) continue;
        auto same = [&cell](const AlarmCondition& c) { return c.station == cell.host; };
        auto it = std::find_if(out.begin(), out.end(), same);
        if (it == out.end()) {
            out.push_back({kAlarmFlaggedPort, cell.host, cell.port, BoardsOf(m, cell), cell.rate,
                           std::nullopt});
            continue;
        }
        it->ports += kPortSeparator + cell.port;
        if (cell.rate <= *it->portFailureRate) continue;
        it->portFailureRate = cell.rate;
        it->boards = BoardsOf(m, cell);
    }
    return out;
}

std::vector<AlarmCondition> LowYields(const ReportModel& m, const AlarmRule& rule) {
    std::vector<AlarmCondition> out;
    for (const RecentBoards& w : m.recent) {
        if (w.boards < rule.boards || w.firstPassYield >= rule.minYield) continue;
        out.push_back({kAlarmLowYield, w.station, "", w.boards, std::nullopt, w.firstPassYield});
    }
    return out;
}

std::string Key(const std::string& kind, const std::string& station) {
    return kind + kKeySeparator + station;
}

void TakeFigures(Alarm& a, const AlarmCondition& c) {
    a.ports = c.ports;
    a.boards = c.boards;
    a.portFailureRate = c.portFailureRate;
    a.firstPassYield = c.firstPassYield;
}

Alarm NewAlarm(const AlarmCondition& c, const std::string& at) {
    Alarm a;
    a.kind = c.kind;
    a.station = c.station;
    TakeFigures(a, c);
    a.raisedAt = at;
    return a;
}

}  // namespace

std::string AlarmCondition::Key() const { return yield::Key(kind, station); }

std::string AlarmNoteProblem(const AlarmNote& n) {
    if (n.by.empty()) return kNoOneNamed;
    if (n.by.size() > kMaxAlarmByBytes) return kNameTooLong;
    if (n.note.size() > kMaxAlarmNoteBytes) return kNoteTooLong;
    if (HasControl(n.by) || HasControl(n.note)) return kControlCharacters;
    return "";
}

std::string AlarmKey(const AlarmRow& a) { return Key(a.kind, a.station); }

std::vector<AlarmCondition> AlarmConditions(const ReportModel& m, const AlarmRule& rule) {
    std::vector<AlarmCondition> out = FlaggedPorts(m);
    std::vector<AlarmCondition> low = LowYields(m, rule);
    out.insert(out.end(), low.begin(), low.end());
    return out;
}

void AlarmBook::Load(const std::vector<AlarmRow>& live) {
    holding_.clear();
    shown_.clear();
    for (const AlarmRow& a : live) {
        if (a.endedAt.empty()) holding_[AlarmKey(a)] = a.id;
        if (a.clearedAt.empty()) shown_.push_back(a);
    }
    if (shown_.size() > kMaxShown)
        shown_.erase(shown_.begin(), shown_.end() - static_cast<long>(kMaxShown));
    ShowFigures();
}

std::vector<Alarm> AlarmBook::Update(const std::vector<AlarmCondition>& now, const std::string& at,
                                     AlarmStore& store) {
    std::map<std::string, const AlarmCondition*> holding;
    for (const AlarmCondition& c : now) holding.emplace(c.Key(), &c);
    for (auto it = holding_.begin(); it != holding_.end();) {
        if (holding.count(it->first) != 0) {
            ++it;
            continue;
        }
        store.EndAlarm(it->second, at);
        it = holding_.erase(it);
    }
    std::vector<Alarm> raised;
    for (const AlarmCondition& c : now) {
        std::string key = c.Key();
        if (holding_.count(key) != 0) continue;
        Alarm a = NewAlarm(c, at);
        a.id = store.RaiseAlarm(a);
        holding_[key] = a.id;
        raised.push_back(a);
        shown_.push_back(a);
    }
    if (shown_.size() > kMaxShown)
        shown_.erase(shown_.begin(), shown_.end() - static_cast<long>(kMaxShown));
    last_ = now;
    ShowFigures();
    return raised;
}

// The open alarm of a condition that holds shows it as it stands (a second port flagged).
void AlarmBook::ShowFigures() {
    std::map<std::string, const AlarmCondition*> byKey;
    for (const AlarmCondition& c : last_) byKey.emplace(c.Key(), &c);
    for (Alarm& a : shown_) {
        auto open = holding_.find(AlarmKey(a));
        auto c = byKey.find(AlarmKey(a));
        if (open != holding_.end() && open->second == a.id && c != byKey.end())
            TakeFigures(a, *c->second);
    }
}

}  // namespace yield
