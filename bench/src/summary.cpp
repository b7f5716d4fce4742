#include "summary.h"

#include <cstdio>
#include <sstream>

namespace bench {

namespace {
std::string VerdictText(const nlohmann::json& verdict) {
    if (verdict == "OK") return "PASSED (Test Q7 OK!!!)";
    if (verdict == "ERR") return "FAILED (Test Q7 Err!!!)";
    return "none (no verdict line in the log)";
}

std::string ExitText(const nlohmann::json& exit) {
    std::string text;
    if (exit.contains("code"))
        text = std::to_string(exit["code"].get<int>());
    else if (exit.contains("signal"))
        text = "killed by " + exit.value("signal_name", std::string("a signal"));
    else
        text = "unknown";
    if (exit.value("timed_out", false)) text += " (timed out)";
    if (exit.value("interrupted", false)) text += " (interrupted)";
    return text;
}

std::string DecoyText(const nlohmann::json& decoy) {
    if (!decoy.value("started", false)) return "not running on this board";
    if (decoy.value("killed", false))
        return "killed by " + decoy.value("signal_name", std::string("a signal"));
    return "NOT killed";
}
}  // namespace

std::string PortTable(const std::string& resultDocument) {
    nlohmann::json document = nlohmann::json::parse(resultDocument, nullptr, false);
    if (document.is_discarded() || !document.contains("logDate")) return "";
    std::ostringstream table;
    for (const auto& section : document["logDate"]) {
        char name[16];
        snprintf(name, sizeof name, "    %-6s", section.value("name", std::string("?")).c_str());
        table << name;
        const auto& info = section.value("info", nlohmann::json::array());
        if (info.empty()) table << " (no ports)";
        for (const auto& port : info) table << " " << port.value("port", -1);
        table << "\n";
    }
    return table.str();
}

std::string Summarize(const nlohmann::json& record) {
    std::ostringstream out;
    char duration[32];
    snprintf(duration, sizeof duration, "%.1f s", record.value("duration_ms", 0.0) / 1000.0);
    out << "\n=== devuzeV7-bench summary: scenario " << record["scenario"].value("name", "")
        << " ===\n";
    out << "  verdict     : " << VerdictText(record["verdict"]) << "\n";
    out << "  exit status : " << ExitText(record["exit"]) << "\n";
    out << "  duration    : " << duration << "\n";
    out << "  duRurID     : " << DecoyText(record["duRurID"]) << "\n";
    std::string table;
    if (record["result_document"].is_string()) table = PortTable(record["result_document"]);
    out << "  ports       : " << (table.empty() ? "no result document\n" : "\n" + table);
    out << "  artifacts   : " << record.value("artifacts", "") << "\n";
    return out.str();
}

}  // namespace bench
