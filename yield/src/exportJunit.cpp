#include <cstdio>
#include <sstream>

#include "escape.h"
#include "exporters.h"

namespace yield {
namespace {

std::string X(const std::string& s) { return HtmlEscape(XmlSafe(s)); }

std::string Num(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

bool Mentions(const std::string& tag, const std::string& port) {
    if (tag == port) return true;
    std::string family = port.substr(0, port.rfind('-'));
    if (tag == family) return true;
    return tag == "DIO" && (family == "DO" || family == "DI");
}

void Case(std::ostringstream& out, const std::string& cls, const std::string& name, bool failed,
          const std::string& message, const std::vector<std::string>& lines) {
    out << "    <testcase classname=\"" << X(cls) << "\" name=\"" << X(name) << "\"";
    if (!failed) {
        out << "/>\n";
        return;
    }
    out << ">\n      <failure message=\"" << X(message) << "\" type=\"failure\">";
    for (const std::string& l : lines) out << X(l) << "\n";
    out << "</failure>\n    </testcase>\n";
}

}  // namespace

std::vector<std::string> ExplainingLines(const RunRecord& run, const std::string& port) {
    std::vector<std::string> out;
    for (const FailureLine& f : run.failures) {
        if (Mentions(f.port, port))
            out.push_back("cycle " + std::to_string(f.cycle) + ": " + f.line);
    }
    return out;
}

std::string IsoTime(const std::string& logTime) {
    std::string iso = logTime;
    if (iso.size() == 19 && iso[10] == ' ') iso[10] = 'T';
    return iso;
}

std::string ExportStem(long long runId, const RunRecord& run) {
    std::string stem =
        std::to_string(runId) + "_" + run.chipId + "_" + run.timeStamp + "_" + run.host;
    return SafeFileName(stem.substr(0, 160));
}

std::string RunJunitXml(const RunRecord& run) {
    long long failures = 0, tests = 0;
    std::ostringstream cases;
    std::string suite = run.host + "[" + run.chipId + "]_" + run.timeStamp;
    for (const PortResult& p : run.ports) {
        ++tests;
        failures += p.passed ? 0 : 1;
        std::vector<std::string> lines = ExplainingLines(run, p.Name());
        std::string msg = p.intermittent ? "port failed in some cycles" : "port failed";
        Case(cases, "ports." + p.family, p.Name(), !p.passed, msg, lines);
    }
    for (const Measurement& m : run.measurements) {
        if (m.outcome == "info") continue;
        ++tests;
        bool failed = m.outcome == "fail";
        failures += failed ? 1 : 0;
        std::string msg = m.text.empty() ? Num(m.value) + " " + m.unit : m.text;
        if (m.hasLimits) msg += " (limits " + Num(m.low) + " to " + Num(m.high) + ")";
        Case(cases, "measurements.cycle" + std::to_string(m.cycle), m.name, failed, msg, {m.line});
    }
    bool incomplete = !run.Complete();
    std::ostringstream out;
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
        << "    </properties>\n"
        << cases.str();
    if (incomplete) {
        out << "    <testcase classname=\"run\" name=\"verdict\">\n      <error message=\"the log "
               "ends without a verdict\" type=\"incomplete\"/>\n    </testcase>\n";
    }
    out << "  </testsuite>\n</testsuites>\n";
    return out.str();
}

}  // namespace yield
