#include "serve/liveState.h"

namespace yield {

std::string ScreenBody(const nlohmann::json& data, const std::vector<Alarm>& alarms) {
    // The data first, as the page has always been sent it.
    nlohmann::ordered_json body;
    body[kScreenData] = data;
    body[kScreenAlarms] = data.is_null() ? nlohmann::json::array() : AlarmsJson(alarms);
    return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

const std::string& NoScreenBody() {
    static const std::string body = ScreenBody(nullptr, {});
    return body;
}

nlohmann::json UnreadableJson(const std::string& why) { return {{kUnreadable, why}}; }

nlohmann::json AlarmsJson(const std::vector<Alarm>& alarms) {
    nlohmann::json out = nlohmann::json::array();
    for (const Alarm& a : alarms) {
        out.push_back({{"id", a.id},
                       {"kind", a.condition.kind},
                       {"station", a.condition.station},
                       {"port", a.condition.port},
                       {"rate", a.condition.rate},
                       {"boards", a.condition.boards},
                       {"raised_at", a.raisedAt}});
    }
    return out;
}

}  // namespace yield
