// The JUnit XML export: one test suite per run, in a <testsuites> that carries the run's totals.
#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>

#include "export/exporters.h"
#include "export/runNames.h"
#include "parse/failureCauses.h"
#include "parse/recordWords.h"
#include "report/escape.h"

namespace yield {
namespace {

constexpr char kDioTag[] = "DIO";  // failure lines of the DIO routine: DO and DI ports
constexpr char kPortClass[] = "ports.";
constexpr char kMeasurementClass[] = "measurements.cycle";
constexpr char kRunClass[] = "run";
constexpr char kVerdictCase[] = "verdict";
constexpr char kPortFailed[] = "port failed";
constexpr char kPortIntermittent[] = "port failed in some cycles";
constexpr char kTallyFailed[] = "failed ";
constexpr char kTallyOf[] = " of ";
constexpr char kTallyEnd[] = " checks (summary lines; no log line names the cause)";
constexpr char kVerdictWithoutPort[] = "expected verdict OK, got ERR with no failed port";
constexpr char kIncompleteType[] = "incomplete";
constexpr char kFailureType[] = "failure";
constexpr char kMoreFailures[] = "; and more";
constexpr size_t kMessageFailures = 3;     // a failure message names at most this many values
constexpr size_t kMessageLineBytes = 200;  // a log line as a failure's message is cut to this

// Text for an XML attribute or element: valid XML 1.0, markup escaped, and the white space an
// attribute would fold to a blank (tab, line feed, carriage return) as character references.
std::string X(const std::string& s) {
    std::string out;
    for (char c : HtmlEscape(XmlSafe(s))) {
        if (c == '\t')
            out += "&#9;";
        else if (c == '\n')
            out += "&#10;";
        else if (c == '\r')
            out += "&#13;";
        else
            out += c;
    }
    return out;
}

std::string Num(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::string Quantity(double v, const std::string& unit) {
    if (unit == kUnitLevel) return "level " + Num(v);
    return unit.empty() ? Num(v) : Num(v) + " " + unit;
}

bool Judged(const Measurement& m) { return m.outcome != kOutcomeInfo; }
bool Failed(const Measurement& m) { return m.outcome == kOutcomeFail; }

// Which port cases carry a measurement: the port it names, or every port of the family it names.
bool Carries(const PortResult& p, const Measurement& m) {
    return m.port == p.Name() || m.port == p.family;
}

bool CarriedByAPort(const RunRecord& run, const Measurement& m) {
    return std::any_of(run.ports.begin(), run.ports.end(),
                       [&m](const PortResult& p) { return Carries(p, m); });
}

struct Totals {
    long long tests = 0;
    long long failures = 0;
    long long errors = 0;
};

// A case: its class, name and, when it did not pass, the failure or error it carries.
struct Case {
    Case(std::string c, std::string n, bool f = false)
        : cls(std::move(c)), name(std::move(n)), failed(f) {}
    std::string cls;
    std::string name;
    bool failed = false;
    bool error = false;
    std::string message;
    std::string type;
    std::vector<std::string> lines;  // the failure's text, one line each
};

// A port the log gives no cause for: what its summary lines counted.
std::string TallyWords(const RunRecord& run, const PortResult& p) {
    long long checks = 0, failed = 0;
    for (const PortTally& t : run.tallies) {
        if (t.family != p.family || t.number != p.number) continue;
        checks += t.succ + t.err;
        failed += t.err;
    }
    if (checks == 0) return p.intermittent ? kPortIntermittent : kPortFailed;
    return kTallyFailed + std::to_string(failed) + kTallyOf + std::to_string(checks) + kTallyEnd;
}

// Each failing port's cause as a message: the line that failed it (or its tallies' word when the
// log says nothing more).
std::map<std::string, std::string> CauseMessages(const RunRecord& run) {
    std::map<std::string, std::string> out;
    for (const FailureCause& c : FailureCauses(run)) {
        for (const std::string& port : c.ports)
            out[port] = c.explained ? CutText(c.line, kMessageLineBytes) : "";
    }
    return out;
}

// A port's case: failed as the run's result says, its message what its failed measurements
// expected and got (each value once), else the line that failed it; its text the log lines
// that explain it.
Case PortCase(const RunRecord& run, const PortResult& p, const Explanations& explain,
              const std::map<std::string, std::string>& causes) {
    Case c(kPortClass + p.family, p.Name(), !p.passed);
    if (p.passed) return c;
    std::vector<std::string> seen;
    for (const Measurement& m : run.measurements) {
        if (!Failed(m) || !Carries(p, m)) continue;
        std::string e = MeasurementExpectation(m);
        if (std::find(seen.begin(), seen.end(), e) == seen.end()) seen.push_back(e);
    }
    auto cause = causes.find(p.Name());
    if (seen.empty() && cause != causes.end() && !cause->second.empty())
        seen.push_back(cause->second);
    if (seen.empty()) seen.push_back(TallyWords(run, p));
    for (size_t i = 0; i < seen.size() && i < kMessageFailures; ++i)
        c.message += (i == 0 ? "" : "; ") + seen[i];
    if (seen.size() > kMessageFailures) c.message += kMoreFailures;
    c.type = kFailureType;
    explain.ForEach(p.Name(), [&c](const std::string& l) { c.lines.push_back(l); });
    return c;
}

Case MeasurementCase(const Measurement& m) {
    Case c(kMeasurementClass + std::to_string(m.cycle), m.name, Failed(m));
    if (!c.failed) return c;
    c.message = MeasurementExpectation(m);
    c.type = kFailureType;
    c.lines.push_back(m.line);
    return c;
}

// The run's own case: an error when the log ends without a verdict, a failure when the run
// failed and no other case says why.
Case VerdictCase(const RunRecord& run, bool anyFailed) {
    Case c(kRunClass, kVerdictCase);
    if (!run.Complete()) {
        c.error = true;
        c.message = IncompleteReason(run);
        c.type = kIncompleteType;
    } else if (run.verdict == Verdict::Err && !anyFailed) {
        c.failed = true;
        c.message = kVerdictWithoutPort;
        if (run.hasVerdictCode) c.message += " (code " + std::to_string(run.verdictCode) + ")";
        if (!run.failures.empty()) {  // the run's own line: a set-up failure says why
            c.message += ": " + CutText(run.failures.front().line, kMessageLineBytes);
            c.lines.push_back(run.failures.front().line);
        }
        c.type = kFailureType;
    }
    return c;
}

std::vector<Case> Cases(const RunRecord& run) {
    std::vector<Case> cases;
    Explanations explain(run);
    std::map<std::string, std::string> causes = CauseMessages(run);
    for (const PortResult& p : run.ports) cases.push_back(PortCase(run, p, explain, causes));
    for (const Measurement& m : run.measurements) {
        if (Judged(m) && !CarriedByAPort(run, m)) cases.push_back(MeasurementCase(m));
    }
    bool anyFailed =
        std::any_of(cases.begin(), cases.end(), [](const Case& c) { return c.failed; });
    cases.push_back(VerdictCase(run, anyFailed));
    return cases;
}

Totals Count(const std::vector<Case>& cases) {
    Totals t;
    for (const Case& c : cases) {
        ++t.tests;
        t.failures += c.failed ? 1 : 0;
        t.errors += c.error ? 1 : 0;
    }
    return t;
}

void WriteCase(std::ostream& out, const Case& c, const std::string& time) {
    out << "    <testcase classname=\"" << X(c.cls) << "\" name=\"" << X(c.name) << "\" time=\""
        << time << "\"";
    if (!c.failed && !c.error) {
        out << "/>\n";
        return;
    }
    const char* tag = c.error ? "error" : "failure";
    out << ">\n      <" << tag << " message=\"" << X(c.message) << "\" type=\"" << c.type << "\">";
    for (const std::string& l : c.lines) out << X(l) << "\n";
    out << "</" << tag << ">\n    </testcase>\n";
}

void Property(std::ostream& out, const char* name, const std::string& value) {
    out << "      <property name=\"" << name << "\" value=\"" << X(value) << "\"/>\n";
}

void WriteProperties(std::ostream& out, const RunRecord& run) {
    out << "    <properties>\n";
    Property(out, "chip_id", run.chipId);
    Property(out, "host", run.host);
    Property(out, "station", run.station);
    Property(out, "start_stamp", run.timeStamp);
    Property(out, "verdict", VerdictWord(run.verdict));
    Property(out, "args", run.args);
    Property(out, "version", run.version);
    Property(out, "build", run.build);
    out << "    </properties>\n";
}

// The totals' attributes, alike on <testsuites> and <testsuite>.
void WriteTotals(std::ostream& out, const Totals& t, const std::string& time) {
    out << " tests=\"" << t.tests << "\" failures=\"" << t.failures << "\" errors=\"" << t.errors
        << "\" skipped=\"0\" time=\"" << time << "\"";
}

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

std::string MeasurementExpectation(const Measurement& m) {
    std::string got = m.text.empty() ? Quantity(m.value, m.unit)
                                     : Quantity(m.value, m.unit) + ", read \"" + m.text + "\"";
    if (!m.hasLimits) {
        if (!m.text.empty()) return m.name + ": got \"" + m.text + "\"";
        if (m.unit == kUnitLevel) return m.name + ": failed: " + m.line;  // no level read back
        return m.name + ": got " + got + ": " + m.line;
    }
    std::string expected =
        m.low == m.high ? Quantity(m.low, m.unit) : Num(m.low) + " to " + Quantity(m.high, m.unit);
    return m.name + ": expected " + expected + ", got " + got;
}

void WriteRunJunitXml(const RunRecord& run, std::ostream& out) {
    std::vector<Case> cases = Cases(run);
    Totals totals = Count(cases);
    const RunSpan span = RunSpanOf(run);
    std::string time = Num(span.seconds);
    std::string zero = Num(0);
    std::string suite = run.host + "[" + run.chipId + "]_" + run.timeStamp;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"" << X(suite) << "\"";
    WriteTotals(out, totals, time);
    out << ">\n  <testsuite name=\"" << X(suite) << "\"";
    WriteTotals(out, totals, time);
    out << " timestamp=\"" << X(span.start) << "\" hostname=\"" << X(run.host) << "\">\n";
    WriteProperties(out, run);
    for (const Case& c : cases) WriteCase(out, c, c.cls == kRunClass ? time : zero);
    out << "  </testsuite>\n</testsuites>\n";
}

std::string RunJunitXml(const RunRecord& run) {
    std::ostringstream out;
    WriteRunJunitXml(run, out);
    return out.str();
}

}  // namespace yield
