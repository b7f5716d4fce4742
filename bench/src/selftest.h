// The bench's own self-test: the probe program (bench/selftest/probe.cpp) runs in place of the
// tool on a scenario and exercises each simulated part; these checks read its report from the
// run record's stdout and compare it with what the bench recorded.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace bench {

struct CheckResult {
    std::string name;
    bool passed = false;
    std::string detail;
};

std::vector<CheckResult> CheckSelfTestRecord(const nlohmann::json& record);
// Prints one line per check; true when all passed.
bool ReportChecks(const std::vector<CheckResult>& results, std::ostream& out);

}  // namespace bench
