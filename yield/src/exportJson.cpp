#include <map>
#include <nlohmann/json.hpp>

#include "exporters.h"

namespace yield {
namespace {
using nlohmann::json;

std::string Outcome(const std::string& o) {
    if (o == "pass") return "PASS";
    if (o == "fail") return "FAIL";
    return "UNSET";
}

json MeasurementJson(const Measurement& m) {
    json j = {
        {"name", m.name}, {"unit", m.unit}, {"outcome", Outcome(m.outcome)}, {"port", m.port}};
    j["value"] = m.text.empty() ? json(m.value) : json(m.text);
    j["low"] = m.hasLimits ? json(m.low) : json();
    j["high"] = m.hasLimits ? json(m.high) : json();
    return j;
}
}  // namespace

std::string RunJsonRecord(const RunRecord& run) {
    json j;
    j["format"] = "devuzeV7-test-record";
    j["version"] = 1;
    j["dut"] = {{"device_id", run.chipId}, {"host", run.host}};
    j["start"] = IsoTime(run.startedAt);
    j["end"] = IsoTime(run.endedAt);
    j["start_stamp"] = run.timeStamp;
    j["outcome"] = run.verdict == Verdict::Ok    ? "PASS"
                   : run.verdict == Verdict::Err ? "FAIL"
                                                 : "ERROR";
    j["verdict_code"] = run.hasVerdictCode ? json(run.verdictCode) : json();
    j["metadata"] = {{"args", run.args},
                     {"build", run.build},
                     {"version", run.version},
                     {"test_mode", run.testMode},
                     {"cycles", run.cyclesRun}};
    std::map<int, json> phases;
    for (const Measurement& m : run.measurements) {
        json& p = phases[m.cycle];
        if (p.is_null()) {
            p = {{"name", "cycle " + std::to_string(m.cycle)},
                 {"outcome", "PASS"},
                 {"measurements", json::array()}};
        }
        p["measurements"].push_back(MeasurementJson(m));
        if (m.outcome == "fail") p["outcome"] = "FAIL";
    }
    json list = json::array();
    for (auto& kv : phases) list.push_back(std::move(kv.second));
    json ports = {{"name", "ports"}, {"outcome", "PASS"}, {"measurements", json::array()}};
    for (const PortResult& p : run.ports) {
        ports["measurements"].push_back({{"name", p.Name()},
                                         {"value", p.passed ? 1 : 0},
                                         {"unit", ""},
                                         {"low", 1},
                                         {"high", 1},
                                         {"outcome", p.passed ? "PASS" : "FAIL"},
                                         {"intermittent", p.intermittent},
                                         {"log", ExplainingLines(run, p.Name())}});
        if (!p.passed) ports["outcome"] = "FAIL";
    }
    list.push_back(std::move(ports));
    j["phases"] = std::move(list);
    return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace yield
