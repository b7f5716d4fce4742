// The JSON test record export: device, start and end, outcome, phases.
#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>

#include "export/exporters.h"
#include "export/runNames.h"
#include "parse/failureCauses.h"
#include "parse/recordWords.h"
#include "report/jsonStream.h"

namespace yield {
namespace {
using nlohmann::json;

constexpr int kRecordVersion = 3;  // 3: failures, each cause once

std::string Outcome(const std::string& o) {
    if (o == kOutcomePass) return "PASS";
    if (o == kOutcomeFail) return "FAIL";
    return "UNSET";
}

constexpr char kEndsInSetUp[] = "the log ends in the set-up, before the first cycle";
constexpr char kEndsInCycle[] = "the log ends in cycle ";
constexpr char kEndsBeforeSummary[] = "the log ends after the cycles, before the summary";
constexpr char kEndsInSummary[] = "the log ends in the summary, without a verdict line";
constexpr char kEndsAfterCode[] = "the log ends after the verdict code, without a verdict line";
constexpr char kLastValue[] = ", after ";
constexpr char kOf[] = " of ";

json MeasurementJson(const Measurement& m) {
    json j = {{"name", m.name}, {"unit", m.unit}, {"outcome", Outcome(m.outcome)},
              {"port", m.port}, {"text", m.text}, {"value", m.value}};
    j["low"] = m.hasLimits ? json(m.low) : json();
    j["high"] = m.hasLimits ? json(m.high) : json();
    return j;
}

// One phase per cycle, the measurements in the log's order; members in key order.
void CyclePhases(JsonStream& j, const RunRecord& run) {
    std::vector<size_t> order(run.measurements.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&run](size_t a, size_t b) {
        return run.measurements[a].cycle < run.measurements[b].cycle;
    });
    for (size_t i = 0; i < order.size();) {
        int cycle = run.measurements[order[i]].cycle;
        bool failed = false;
        j.Item();
        j.OpenObject();
        j.Key("measurements");
        j.OpenArray();
        for (; i < order.size() && run.measurements[order[i]].cycle == cycle; ++i) {
            const Measurement& m = run.measurements[order[i]];
            j.Item();
            j.Value(MeasurementJson(m));
            failed = failed || m.outcome == kOutcomeFail;
        }
        j.Close();
        j.Member("name", "cycle " + std::to_string(cycle));
        j.Member("outcome", failed ? "FAIL" : "PASS");
        j.Close();
    }
}

void PortsPhase(JsonStream& j, const RunRecord& run) {
    Explanations explain(run);
    bool failed = false;
    j.Item();
    j.OpenObject();
    j.Key("measurements");
    j.OpenArray();
    for (const PortResult& p : run.ports) {
        j.Item();
        j.OpenObject();
        j.Member("high", 1);
        j.Member("intermittent", p.intermittent);
        j.Key("log");
        j.OpenArray();
        explain.ForEach(p.Name(), [&j](const std::string& line) {
            j.Item();
            j.Value(line);
        });
        j.Close();
        j.Member("low", 1);
        j.Member("name", p.Name());
        j.Member("outcome", p.passed ? "PASS" : "FAIL");
        j.Member("port", p.Name());
        j.Member("text", "");
        j.Member("unit", "");
        j.Member("value", p.passed ? 1 : 0);
        j.Close();
        failed = failed || !p.passed;
    }
    j.Close();
    j.Member("name", "ports");
    j.Member("outcome", failed ? "FAIL" : "PASS");
    j.Close();
}

json SourceJson(const SourceRow* kept) {
    if (kept == nullptr) return json();
    return {{"path", kept->path}, {"sha256", kept->sha256.empty() ? json() : json(kept->sha256)}};
}

// What failed the run, each cause once with the ports it explains; empty for a run not failed.
json FailuresJson(const RunRecord& run) {
    json out = json::array();
    if (run.verdict != Verdict::Err) return out;
    for (const FailureCause& c : FailureCauses(run)) out.push_back(CauseJson(c));
    return out;
}

json TextOrNull(const std::string& text) { return text.empty() ? json() : json(text); }

}  // namespace

std::string IncompleteReason(const RunRecord& run) {
    if (run.hasVerdictCode) return kEndsAfterCode;
    if (!run.tallies.empty() || !run.resultDoc.empty()) return kEndsInSummary;
    if (run.cyclesRun == 0) return kEndsInSetUp;
    if (run.cyclesRun >= run.cyclesAsked && run.cyclesAsked > 0) return kEndsBeforeSummary;
    std::string reason = kEndsInCycle + std::to_string(run.cyclesRun);
    if (run.cyclesAsked > 0) reason += kOf + std::to_string(run.cyclesAsked);
    if (!run.measurements.empty()) reason += kLastValue + run.measurements.back().name;
    return reason;
}

// Members in key order, as the record held whole used to write them.
void WriteRunJsonRecord(const RunRecord& run, std::ostream& out, const SourceRow* kept) {
    const RunSpan span = RunSpanOf(run);
    JsonStream j(out);
    j.OpenObject();
    j.Member("duration", span.seconds);
    j.Member("dut",
             {{"device_id", run.chipId}, {"host", run.host}, {"station", TextOrNull(run.station)}});
    j.Member("end", span.end);
    j.Member("failures", FailuresJson(run));
    j.Member("format", "devuzeV7-test-record");
    j.Member("incomplete_reason", run.Complete() ? json() : json(IncompleteReason(run)));
    j.Member("metadata", {{"args", run.args},
                          {"build", run.build},
                          {"version", run.version},
                          {"test_mode", run.testMode},
                          {"cycles", run.cyclesRun}});
    j.Member("outcome", run.verdict == Verdict::Ok    ? "PASS"
                        : run.verdict == Verdict::Err ? "FAIL"
                                                      : "ERROR");
    j.Key("phases");
    j.OpenArray();
    CyclePhases(j, run);
    PortsPhase(j, run);
    j.Close();
    j.Member("source", SourceJson(kept));
    j.Member("start", span.start);
    j.Member("start_stamp", run.timeStamp);
    j.Member("verdict_code", run.hasVerdictCode ? json(run.verdictCode) : json());
    j.Member("version", kRecordVersion);
    j.Close();
    out << "\n";
}

std::string RunJsonRecord(const RunRecord& run, const SourceRow* kept) {
    std::ostringstream out;
    WriteRunJsonRecord(run, out, kept);
    return out.str();
}

}  // namespace yield
