// The short summary printed at the end of a run, made from the run record.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace bench {

std::string Summarize(const nlohmann::json& record);
// One row per section of the result document: name, then each port's 1 or 0. Empty when the
// document is missing or not JSON.
std::string PortTable(const std::string& resultDocument);

}  // namespace bench
