// The summary and the end of the run: the tallies, the result document, the verdict code and
// the verdict, as hwtest/testCycle.cpp and hwtest/archive.cpp write them; and the run's port
// outcomes from the document or, without one, from the tallies.
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "parse/readerState.h"

namespace yield::parse {
namespace {
using namespace tracefmt;

// The document's LED number of a summary name: LED-n is system output kFirstLedOutput + n - 1.
int LedNumber(const char* name) {
    for (const Led& led : kLeds) {
        if (std::strcmp(name, led.name) == 0) return led.output - kFirstLedOutput + 1;
    }
    return 0;
}

// A tally line as the document names its port; false when the line is none.
bool ScanTally(const std::string& m, PortTally& t) {
    char family[16] = {0};
    char variant[4] = {0};
    if (ScanAll(m, kTallyVariantScan, family, &t.number, variant, &t.succ, &t.err)) {
        t.variant = variant;
    } else if (ScanAll(m, kTallyScan, family, &t.number, &t.succ, &t.err)) {
    } else if (ScanAll(m, kLedTallyScan, &t.number, family, &t.succ, &t.err)) {
        t.number = LedNumber(family);
        std::strcpy(family, kDocLed);
    } else {
        return false;
    }
    t.family = std::strcmp(family, kTallyAi) == 0 ? kDocAdc : family;
    return true;
}

bool Tally(ReaderState& st, const std::string& m) {
    PortTally t;
    if (!ScanTally(m, t)) return false;
    st.run.tallies.push_back(std::move(t));
    return true;
}

// "write <path> ok:<document> !!!".
bool ResultDocument(ReaderState& st, const std::string& m) {
    if (!StartsWith(m, kResultDocStart) || !EndsWith(m, kResultDocEnd)) return false;
    size_t mark = m.find(kResultDocMark);
    if (mark == std::string::npos) return false;
    size_t from = mark + Length(kResultDocMark);
    st.run.resultDoc = m.substr(from, m.size() - Length(kResultDocEnd) - from);
    return true;
}

bool VerdictLine(ReaderState& st, const std::string& m) {
    int n = 0;
    if (ScanAll(m, kVerdictCodeScan, &n)) {
        st.run.hasVerdictCode = true;
        st.run.verdictCode = n;
        return true;
    }
    bool ok = m == kVerdictOk;
    if (!ok && m != kVerdictErr) return false;
    if (st.run.verdict == Verdict::Incomplete) st.run.verdict = ok ? Verdict::Ok : Verdict::Err;
    st.zone = Zone::End;
    return true;
}

// One document section's entries as ports, numbered from 1; a section without a family name
// names no port.
void SectionPorts(const nlohmann::json& sec, RunRecord& run) {
    if (!sec.is_object() || !sec.contains(kDocFamily) || !sec[kDocFamily].is_string()) return;
    if (!sec.contains(kDocEntries) || !sec[kDocEntries].is_array()) return;
    std::string family = sec[kDocFamily].get<std::string>();
    if (family.empty()) return;
    int number = 0;
    for (const auto& entry : sec[kDocEntries]) {
        PortResult p;
        p.family = family;
        p.number = ++number;
        p.passed =
            entry.is_object() && entry.contains(kDocPassed) && entry[kDocPassed] == kDocPassedValue;
        run.ports.push_back(std::move(p));
    }
}

// Port outcomes from the result document's sections; false when it does not parse.
bool PortsFromDocument(RunRecord& run) {
    nlohmann::json doc = nlohmann::json::parse(run.resultDoc, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) return false;
    auto sections = doc.find(kDocSections);
    if (sections == doc.end() || !sections->is_array()) return false;
    for (const auto& sec : *sections) SectionPorts(sec, run);
    return true;
}

int CountOf(const RunRecord& run, const std::string& family) {
    auto it = run.counts.find(family == kDocAdc ? kCountAi : family);
    return it == run.counts.end() ? -1 : it->second;
}

// A tally of no port of the document: the DO lines of the kSystemOutputs system outputs after
// DO<count>, and any other line past its family's discovered count.
bool PastTheCount(const RunRecord& run, const PortTally& t) {
    int count = CountOf(run, t.family);
    if (count < 0) return false;
    bool systemOutput =
        t.family == kDocDo && t.number > count && t.number <= count + kSystemOutputs;
    return systemOutput || t.number > count;
}

// Port outcomes from the tallies: a port passes with at least one pass and no failure in every
// tally it has.
void PortsFromTallies(RunRecord& run) {
    std::map<std::pair<std::string, int>, PortResult> byPort;
    for (const PortTally& t : run.tallies) {
        if (PastTheCount(run, t)) continue;
        auto [it, fresh] = byPort.try_emplace(std::make_pair(t.family, t.number));
        if (fresh) {
            it->second.family = t.family;
            it->second.number = t.number;
            it->second.passed = true;
        }
        if (t.succ < 1 || t.err != 0) it->second.passed = false;
    }
    for (auto& kv : byPort) run.ports.push_back(kv.second);
}

void MarkIntermittent(RunRecord& run) {
    std::set<std::pair<std::string, int>> mixed;
    for (const PortTally& t : run.tallies) {
        if (t.succ > 0 && t.err > 0) mixed.emplace(t.family, t.number);
    }
    if (mixed.empty()) return;
    for (PortResult& p : run.ports) {
        if (mixed.count({p.family, p.number}) > 0) p.intermittent = true;
    }
}

}  // namespace

// The tallies count wherever they stand; the document and the verdict only after the cycles
// began (the caller reads no body line before).
bool ReadSummaryLine(ReaderState& st, const std::string& m) {
    return Tally(st, m) || ResultDocument(st, m) || VerdictLine(st, m);
}

void FillPorts(RunRecord& run) {
    if (run.resultDoc.empty() || !PortsFromDocument(run)) {
        run.ports.clear();
        PortsFromTallies(run);
    }
    MarkIntermittent(run);
}

}  // namespace yield::parse
