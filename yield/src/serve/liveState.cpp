#include "liveState.h"

#include "dashboard.h"

namespace yield {

std::string Dump(const nlohmann::json& j) {
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace yield
