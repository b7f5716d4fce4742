// The JUnit XML export: one test suite per run.
#include <algorithm>
#include <cstdio>
#include <sstream>

#include "escape.h"
#include "exporters.h"
#include "runNames.h"

namespace yield {
namespace {

std::string X(const std::string& s) { return HtmlEscape(XmlSafe(s)); }

std::string Num(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

constexpr char kDioTag[] = "DIO";  // failure lines of the DIO routine: DO and DI ports

// Opens a test case; true when it failed and its failure text follows.
bool OpenCase(std::ostream& out, const std::string& cls, const std::string& name, bool failed,
              const std::string& message) {
    out << "    <testcase classname=\"" << X(cls) << "\" name=\"" << X(name) << "\"";
    if (!failed) {
        out << "/>\n";
        return false;
    }
    out << ">\n      <failure message=\"" << X(message) << "\" type=\"failure\">";
    return true;
}

void CloseCase(std::ostream& out) { out << "</failure>\n    </testcase>\n"; }

}  // namespace

Explanations::Explanations(const RunRecord& run) : run_(run) {
    for (size_t i = 0; i < run.failures.size(); ++i) byTag_[run.failures[i].port].push_back(i);
}

void Explanations::ForEach(const std::string& port,
                           const std::function<void(const std::string&)>& take) const {
    std::string family = port.substr(0, port.rfind('-'));
    std::vector<std::string> tags = {port};
    if (family != port) tags.push_back(family);
    if (family == "DO" || family == "DI") tags.emplace_back(kDioTag);
    std::vector<size_t> lines;
    for (const std::string& tag : tags) {
        auto it = byTag_.find(tag);
        if (it != byTag_.end()) lines.insert(lines.end(), it->second.begin(), it->second.end());
    }
    std::sort(lines.begin(), lines.end());
    for (size_t i : lines) {
        const FailureLine& f = run_.failures[i];
        take("cycle " + std::to_string(f.cycle) + ": " + f.line);
    }
}

std::vector<std::string> ExplainingLines(const RunRecord& run, const std::string& port) {
    std::vector<std::string> out;
    Explanations(run).ForEach(port, [&out](const std::string& l) { out.push_back(l); });
    return out;
}

void WriteRunJunitXml(const RunRecord& run, std::ostream& out) {
    long long failures = 0, tests = 0;
    for (const PortResult& p : run.ports) {
        ++tests;
        failures += p.passed ? 0 : 1;
    }
    for (const Measurement& m : run.measurements) {
        if (m.outcome == "info") continue;
        ++tests;
        failures += m.outcome == "fail" ? 1 : 0;
    }
    std::string suite = run.host + "[" + run.chipId + "]_" + run.timeStamp;
    bool incomplete = !run.Complete();
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n"
        << "  <testsuite name=\"" << X(suite) << "\" tests=\"" << tests + (incomplete ? 1 : 0)
        << "\" failures=\"" << failures << "\" errors=\"" << (incomplete ? 1 : 0)
        << "\" timestamp=\"" << X(IsoTime(run.startedAt)) << "\" hostname=\"" << X(run.host)
        << "\">\n"
        << "    <properties>\n"
        << "      <property name=\"processor_id\" value=\"" << X(run.chipId) << "\"/>\n"
        << "      <property name=\"start_stamp\" value=\"" << X(run.timeStamp) << "\"/>\n"
        << "      <property name=\"verdict\" value=\"" << VerdictWord(run.verdict) << "\"/>\n"
        << "      <property name=\"args\" value=\"" << X(run.args) << "\"/>\n"
        << "      <property name=\"version\" value=\"" << X(run.version) << "\"/>\n"
        << "    </properties>\n";
    Explanations explain(run);
    for (const PortResult& p : run.ports) {
        std::string msg = p.intermittent ? "port failed in some cycles" : "port failed";
        if (!OpenCase(out, "ports." + p.family, p.Name(), !p.passed, msg)) continue;
        explain.ForEach(p.Name(), [&out](const std::string& l) { out << X(l) << "\n"; });
        CloseCase(out);
    }
    for (const Measurement& m : run.measurements) {
        if (m.outcome == "info") continue;
        bool failed = m.outcome == "fail";
        std::string msg = m.text.empty() ? Num(m.value) + " " + m.unit : m.text;
        if (m.hasLimits) msg += " (limits " + Num(m.low) + " to " + Num(m.high) + ")";
        if (!OpenCase(out, "measurements.cycle" + std::to_string(m.cycle), m.name, failed, msg))
            continue;
        out << X(m.line) << "\n";
        CloseCase(out);
    }
    if (incomplete) {
        out << "    <testcase classname=\"run\" name=\"verdict\">\n      <error message=\"the log "
               "ends without a verdict\" type=\"incomplete\"/>\n    </testcase>\n";
    }
    out << "  </testsuite>\n</testsuites>\n";
}

std::string RunJunitXml(const RunRecord& run) {
    std::ostringstream out;
    WriteRunJunitXml(run, out);
    return out.str();
}

}  // namespace yield
