#include "run_checks.h"

#include <algorithm>

namespace e2e {

std::string LogValue(const BenchRun& run, const std::string& prefix) {
    for (const std::string& m : run.Messages()) {
        if (m.rfind(prefix, 0) == 0) return m.substr(prefix.size());
    }
    return "";
}

std::vector<std::string> CommandTexts(const BenchRun& run) {
    std::vector<std::string> out;
    for (const auto& c : run.TextCommands()) out.push_back(c["text"]);
    return out;
}

namespace {
std::vector<std::string> CommandsWhere(const BenchRun& run, bool after, double edge) {
    std::vector<std::string> out;
    for (const auto& c : run.TextCommands()) {
        double t = c["t_ms"];
        if (after ? t > edge : t < edge) out.push_back(c["text"]);
    }
    return out;
}
}  // namespace

std::vector<std::string> CommandsAfterLastIoctl(const BenchRun& run) {
    double last = -1;
    for (const auto& r : run.Ioctls()) last = std::max(last, r["t_ms"].get<double>());
    return CommandsWhere(run, true, last);
}

std::vector<std::string> CommandsBeforeFirstIoctl(const BenchRun& run) {
    auto ioctls = run.Ioctls();
    double first = ioctls.empty() ? 1e18 : ioctls.front()["t_ms"].get<double>();
    return CommandsWhere(run, false, first);
}

std::vector<std::string> WithoutBlink(const std::vector<std::string>& texts) {
    std::vector<std::string> out;
    for (const auto& t : texts) {
        if (t != "SON=5,4" && t != "SOFF=5,4") out.push_back(t);
    }
    return out;
}

double FirstIoctlTime(const BenchRun& run, int arg) {
    for (const auto& r : run.Ioctls()) {
        if (r["arg"] == arg) return r["t_ms"];
    }
    return -1;
}

int CountMessages(const BenchRun& run, const std::string& message) {
    auto messages = run.Messages();
    return static_cast<int>(std::count(messages.begin(), messages.end(), message));
}

ArchiveNames ExpectedArchive(const std::string& host, const std::string& id,
                             const std::string& stamp, const std::string& verdict) {
    const std::string base = "deVuzeV7_" + host + "[" + id + "]_" + stamp;
    return {"/NandFlash/test/" + base + "[" + verdict + "].log", "/NandFlash/tmp/" + base + ".log",
            "TestQ7[" + verdict + "]/" + base + ".log"};
}

}  // namespace e2e
