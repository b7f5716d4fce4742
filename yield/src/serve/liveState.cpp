#include "serve/liveState.h"

namespace yield {

std::string ScreenBody(const nlohmann::json& data, const nlohmann::json& alarms,
                       const nlohmann::json& history) {
    // The data first, as the page has always been sent it.
    nlohmann::ordered_json body;
    body[kScreenData] = data;
    body[kScreenAlarms] = data.is_null() ? nlohmann::json::array() : alarms;
    body[kScreenAlarmHistory] = data.is_null() ? nlohmann::json::array() : history;
    return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

const std::string& NoScreenBody() {
    static const std::string body =
        ScreenBody(nullptr, nlohmann::json::array(), nlohmann::json::array());
    return body;
}

nlohmann::json UnreadableJson(const std::string& why) { return {{kUnreadable, why}}; }

namespace {

nlohmann::json TimeOrNull(const std::string& at) {
    return at.empty() ? nlohmann::json(nullptr) : nlohmann::json(at);
}

nlohmann::json FigureOrNull(const std::optional<double>& v) {
    return v ? nlohmann::json(*v) : nlohmann::json(nullptr);
}

// Who and why go with the step's time: null when it was not taken.
nlohmann::json StepText(const std::string& at, const std::string& text) {
    return at.empty() ? nlohmann::json(nullptr) : nlohmann::json(text);
}

}  // namespace

nlohmann::json AlarmsJson(const std::vector<AlarmRow>& alarms) {
    nlohmann::json out = nlohmann::json::array();
    for (const AlarmRow& a : alarms) {
        out.push_back({{"id", a.id},
                       {"kind", a.kind},
                       {"station", a.station},
                       {"ports", a.ports},
                       {"boards", a.boards},
                       {"port_failure_rate", FigureOrNull(a.portFailureRate)},
                       {"first_pass_yield", FigureOrNull(a.firstPassYield)},
                       {"raised_at", a.raisedAt},
                       {"ended_at", TimeOrNull(a.endedAt)},
                       {"acknowledged_at", TimeOrNull(a.acknowledgedAt)},
                       {"acknowledged_by", StepText(a.acknowledgedAt, a.acknowledgedBy)},
                       {"acknowledge_note", StepText(a.acknowledgedAt, a.acknowledgeNote)},
                       {"cleared_at", TimeOrNull(a.clearedAt)},
                       {"cleared_by", StepText(a.clearedAt, a.clearedBy)},
                       {"clear_note", StepText(a.clearedAt, a.clearNote)}});
    }
    return out;
}

}  // namespace yield
