#include "selftest.h"

#include <map>
#include <ostream>
#include <sstream>

#include "text_util.h"

namespace bench {

namespace {
// Probe report lines: "probe <check> ok|fail [key=value ...]".
struct ProbeLine {
    bool ok = false;
    std::map<std::string, std::string> values;
};

std::map<std::string, ProbeLine> ParseProbeReport(const std::string& stdoutText) {
    std::map<std::string, ProbeLine> lines;
    std::istringstream in(stdoutText);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string word, name, state;
        if (!(words >> word >> name >> state) || word != "probe") continue;
        ProbeLine parsed;
        parsed.ok = state == "ok";
        while (words >> word) {
            size_t eq = word.find('=');
            if (eq != std::string::npos) parsed.values[word.substr(0, eq)] = word.substr(eq + 1);
        }
        lines[name] = parsed;
    }
    return lines;
}

bool HasSerial(const nlohmann::json& record, const std::string& port, const std::string& dir,
               const std::string& text) {
    for (const auto& message : record["serial"]) {
        if (message["port"] == port && message["dir"] == dir && message["text"] == text)
            return true;
    }
    return false;
}

bool HasIoctl(const nlohmann::json& record, int code, int arg, int answer) {
    for (const auto& entry : record["timeline"]) {
        if (entry["kind"] == "ioctl" && entry["code"] == code && entry["arg"] == arg &&
            entry["answer"] == answer)
            return true;
    }
    return false;
}

bool HasText(const nlohmann::json& record, const std::string& text) {
    for (const auto& entry : record["timeline"]) {
        if (entry["kind"] == "text" && entry["text"] == text && entry["applied"] == true)
            return true;
    }
    return false;
}

CheckResult Check(const std::string& name, bool passed, const std::string& detail) {
    return {name, passed, detail};
}

constexpr char kPattern[] = "ABCDEFGHIJKLMNOPQRST1234567890!\\x00";

CheckResult CheckLoopback(const nlohmann::json& record,
                          const std::map<std::string, ProbeLine>& probe) {
    auto it = probe.find("loopback");
    if (it == probe.end()) return Check("loop-back pair", false, "no probe report");
    long quiet = -1, bytes = -1;
    ParseInt(it->second.values.count("quiet_ms") ? it->second.values.at("quiet_ms") : "", quiet);
    ParseInt(it->second.values.count("bytes") ? it->second.values.at("bytes") : "", bytes);
    bool timing = quiet >= 140 && quiet <= 400;  // 0.2 s of silence, generous for a loaded host
    bool seen = HasSerial(record, "/dev/RS232-1", "rx", kPattern) &&
                HasSerial(record, "/dev/RS232-2", "tx", kPattern);
    return Check("loop-back pair RS232-1 -> RS232-2",
                 it->second.ok && bytes == 32 && timing && seen,
                 "bytes=" + std::to_string(bytes) + " quiet_ms=" + std::to_string(quiet) +
                     (seen ? "" : " (not in the serial record)"));
}

CheckResult CheckAt(const nlohmann::json& record, const std::map<std::string, ProbeLine>& probe) {
    auto it = probe.find("at");
    bool seen = HasSerial(record, "/dev/RS232-5", "rx", "AT") &&
                HasSerial(record, "/dev/RS232-5", "tx", "OK\\r\\n");
    return Check("AT device on RS232-5", it != probe.end() && it->second.ok && seen,
                 seen ? "AT answered OK" : "AT/OK not in the serial record");
}

CheckResult CheckIoctl(const nlohmann::json& record,
                       const std::map<std::string, ProbeLine>& probe) {
    auto it = probe.find("ioctl");
    bool seen = HasIoctl(record, 1, 0x01, 0) && HasIoctl(record, 11, 0x01, 1) &&
                HasIoctl(record, 10, 0x01, 1) && HasIoctl(record, 12, 1, 6) &&
                HasIoctl(record, 1, 0x81, 0) && HasIoctl(record, 10, 0x04, 1);
    return Check("ioctl requests reach the DIO model", it != probe.end() && it->second.ok && seen,
                 seen ? "6 requests recorded with the model's answers" : "requests missing");
}

CheckResult CheckText(const nlohmann::json& record, const std::map<std::string, ProbeLine>& probe) {
    auto it = probe.find("echo");
    return Check("echo SON=3 > /dev/vxdio arrives",
                 it != probe.end() && HasText(record, "SON=3") &&
                     record["dio_outputs"].value("SDO3", -1) == 1,
                 "text command in the timeline, SDO3 on");
}

CheckResult CheckProbe(const std::map<std::string, ProbeLine>& probe, const std::string& name,
                       const std::string& title) {
    auto it = probe.find(name);
    return Check(title, it != probe.end() && it->second.ok,
                 it == probe.end() ? "no probe report" : "");
}
}  // namespace

std::vector<CheckResult> CheckSelfTestRecord(const nlohmann::json& record) {
    auto probe = ParseProbeReport(record.value("stdout", ""));
    const auto& decoy = record["duRurID"];
    bool killed = decoy.value("killed", false);
    bool tray = record["tray"].size() == 1 && record["tray"][0]["type"] == 36876 &&
                record["tray"][0]["len"] == 76 && record["tray"][0]["int0"] == 2;
    return {CheckLoopback(record, probe),
            CheckAt(record, probe),
            CheckIoctl(record, probe),
            CheckText(record, probe),
            CheckProbe(probe, "df", "df shows the sticks /dev/sda1 and /dev/sdb1"),
            CheckProbe(probe, "hostname", "host name of the scenario"),
            Check("killall duRurID ends the decoy", killed, decoy.dump()),
            Check("tray message recorded", tray, record["tray"].dump()),
            Check("cpu LED trigger written", record["cpu_led_trigger"] == "none\n",
                  record["cpu_led_trigger"].dump())};
}

bool ReportChecks(const std::vector<CheckResult>& results, std::ostream& out) {
    bool all = true;
    for (const CheckResult& result : results) {
        out << (result.passed ? "  PASS  " : "  FAIL  ") << result.name;
        if (!result.detail.empty()) out << "  (" << result.detail << ")";
        out << "\n";
        all = all && result.passed;
    }
    out << (all ? "self-test passed\n" : "self-test FAILED\n");
    return all;
}

}  // namespace bench
