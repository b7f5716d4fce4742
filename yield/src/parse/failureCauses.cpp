#include "parse/failureCauses.h"

#include <cstdio>
#include <map>

#include "parse/recordWords.h"
#include "traceLogFormat.h"

namespace yield {
namespace {

constexpr char kCutMark[] = "...";
constexpr char kPortListSeparator[] = ", ";
constexpr char kLabelEnd[] = ": ";
constexpr char kPortsWord[] = " ports ";
constexpr char kPortsTo[] = " to ";
constexpr size_t kListedPorts = 4;  // more ports than this are named by their count and ends
constexpr char kOutputPort[] = "DO-";

std::string FamilyOf(const std::string& port) { return port.substr(0, port.rfind('-')); }

bool DioFamily(const std::string& family) {
    return family == tracefmt::kDocDo || family == tracefmt::kDocDi;
}

// Where a port's explanation is found, first match wins: its own failed value, its own line,
// its family's failed value (the stick count), its family's or its routine's line, and for an
// input whose output would not take its level (so it was never read), the output's line. Each
// tag's first value and first line are indexed once, so a forged run of many ports and lines
// costs no more than its rows.
class Finder {
public:
    explicit Finder(const RunRecord& run) : run_(run) {
        for (size_t i = 0; i < run.measurements.size(); ++i)
            if (run.measurements[i].outcome == kOutcomeFail)
                values_.try_emplace(run.measurements[i].port, i);
        for (size_t i = 0; i < run.failures.size(); ++i) {
            lines_.try_emplace(run.failures[i].port, i);
            if (outputLine_ < 0 && run.failures[i].port.rfind(kOutputPort, 0) == 0)
                outputLine_ = static_cast<long long>(i);
        }
    }
    const Measurement* Value(const std::string& tag) const {
        auto it = values_.find(tag);
        return it == values_.end() ? nullptr : &run_.measurements[it->second];
    }
    const FailureLine* Line(const std::string& tag) const {
        auto it = lines_.find(tag);
        return it == lines_.end() ? nullptr : &run_.failures[it->second];
    }
    const FailureLine* OutputLine() const {
        return outputLine_ < 0 ? nullptr : &run_.failures[static_cast<size_t>(outputLine_)];
    }
    size_t Index(const Measurement* m) const {
        return static_cast<size_t>(m - run_.measurements.data());
    }

private:
    const RunRecord& run_;
    std::map<std::string, size_t> values_, lines_;
    long long outputLine_ = -1;
};

FailureCause Measured(const Measurement& m) {
    FailureCause c;
    c.measured = true;
    c.name = m.name;
    c.value = m.value;
    c.text = m.text;
    c.unit = m.unit;
    c.hasLimits = m.hasLimits;
    c.low = m.low;
    c.high = m.high;
    c.line = m.line;
    return c;
}

FailureCause Lined(const FailureLine& f) {
    FailureCause c;
    c.line = f.line;
    return c;
}

// A port's cause and the key that tells causes apart: a value by its place, a line by its text
// (the routine's one line for every port it failed).
std::pair<std::string, FailureCause> CauseOf(const Finder& find, const std::string& port) {
    std::string family = FamilyOf(port);
    if (const Measurement* m = find.Value(port))
        return {"m" + std::to_string(find.Index(m)), Measured(*m)};
    if (const FailureLine* f = find.Line(port)) return {"l" + f->line, Lined(*f)};
    if (const Measurement* m = find.Value(family))
        return {"m" + std::to_string(find.Index(m)), Measured(*m)};
    const FailureLine* f = find.Line(family);
    if (f == nullptr && DioFamily(family)) f = find.Line(tracefmt::kSectionDio);
    if (f == nullptr && DioFamily(family)) f = find.OutputLine();
    if (f != nullptr) return {"l" + f->line, Lined(*f)};
    FailureCause bare;
    bare.explained = false;
    return {"p" + port, bare};
}

std::string Join(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& s : items) out += (out.empty() ? "" : kPortListSeparator) + s;
    return out;
}

}  // namespace

std::string CutText(const std::string& text, size_t bytes) {
    if (text.size() <= bytes) return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end) + kCutMark;
}

std::string JudgedValue(double value, const std::string& unit, bool hasLimits, double low,
                        double high) {
    std::string u = unit.empty() ? "" : " " + unit;
    char buf[160];
    if (hasLimits && low == high) {
        std::snprintf(buf, sizeof buf, "%.6g%s, expected %.6g", value, u.c_str(), low);
    } else if (hasLimits) {
        std::snprintf(buf, sizeof buf, "%.6g%s, limits %.6g to %.6g", value, u.c_str(), low, high);
    } else {
        std::snprintf(buf, sizeof buf, "%.6g%s", value, u.c_str());
    }
    return buf;
}

std::string FailureCause::Label() const {
    if (ports.size() <= kListedPorts) return Join(ports);
    return std::to_string(ports.size()) + kPortsWord + ports.front() + kPortsTo + ports.back();
}

std::string FailureCause::Text(size_t lineBytes) const {
    std::string label = Label();
    std::string what;
    if (measured && hasLimits)
        what = JudgedValue(value, unit, hasLimits, low, high);
    else if (explained)
        what = CutText(line, lineBytes);
    if (label.empty() || what.empty()) return label + what;
    return label + (ports.size() > 1 ? kLabelEnd : " ") + what;
}

nlohmann::json CauseJson(const FailureCause& c) {
    using nlohmann::json;
    auto orNull = [](bool set, const json& v) { return set ? v : json(); };
    std::string family = c.ports.empty() ? "" : FamilyOf(c.ports.front());
    bool oneFamily = !c.ports.empty();
    for (const std::string& p : c.ports) oneFamily = oneFamily && FamilyOf(p) == family;
    json port = c.ports.size() == 1 ? json(c.ports.front()) : orNull(oneFamily, family);
    bool limits = c.measured && c.hasLimits;
    return {{"port", port},
            {"ports", c.ports},
            {"name", orNull(c.measured, c.name)},
            {"value", orNull(c.measured, c.value)},
            {"text", orNull(c.measured && !c.text.empty(), c.text)},
            {"unit", orNull(c.measured && !c.unit.empty(), c.unit)},
            {"low", orNull(limits, c.low)},
            {"high", orNull(limits, c.high)},
            {"expected", orNull(limits && c.low == c.high, c.low)},
            {"message", orNull(c.explained, c.line)}};
}

std::vector<FailureCause> FailureCauses(const RunRecord& run) {
    Finder find(run);
    // Each port's cause by number first, the causes then made once each into a list of their
    // exact size: a forged run of many causes holds no list grown to twice its size.
    std::vector<std::string> ports = run.FailingPorts();
    std::vector<size_t> causeOf(ports.size()), firstPort;
    {
        std::map<std::string, size_t> byKey;
        for (size_t i = 0; i < ports.size(); ++i) {
            auto [it, fresh] = byKey.try_emplace(CauseOf(find, ports[i]).first, firstPort.size());
            if (fresh) firstPort.push_back(i);
            causeOf[i] = it->second;
        }
    }
    std::vector<FailureCause> out;
    out.reserve(firstPort.size());
    for (size_t i : firstPort) out.push_back(CauseOf(find, ports[i]).second);
    for (size_t i = 0; i < ports.size(); ++i) out[causeOf[i]].ports.push_back(std::move(ports[i]));
    if (out.empty() && !run.failures.empty()) out.push_back(Lined(run.failures.front()));
    return out;
}

}  // namespace yield
