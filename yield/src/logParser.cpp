#include "logParser.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "logLines.h"

namespace yield {
namespace {

constexpr char kStars[] = "******************************************";
constexpr char kCyclesStart[] = "***************** test *******************";
constexpr char kSetUpFailed[] = "Err Get Port Info!!!";
constexpr int kSetUpFailureCode = -2;
constexpr int kLoopBackBytes = 32;
constexpr int kLastDirectAdcChannel = 5;
constexpr int kSkippedAdcChannels = 2;
constexpr int kFirstLedOutput = 3;  // SDO3 beeper, SDO4 LED D3, SDO5 LED D2: LED-1, -2, -3
constexpr std::string_view kHostTag = "hostname:";
constexpr std::string_view kTimeTag = "DateTime:";
constexpr std::string_view kChipTag = "iMx6ull:";
constexpr char kCutShort[] = "run header cut short (no host, processor ID or time stamp)";
constexpr char kNoHeader[] = "trace log without a run header";
// What the board changes in a host or processor ID to put it into an archive name: control
// characters become escapes, '/' becomes '_'; a part too long ends in '~' and 8 hex digits.
constexpr std::string_view kNameReplacements = "\\_";
constexpr char kShortMark = '~';
constexpr size_t kShortHexDigits = 8;

bool StartsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }
bool EndsWith(std::string_view s, std::string_view p) {
    return s.size() >= p.size() && s.substr(s.size() - p.size()) == p;
}

enum class Zone { Header, SetUp, Cycles, Summary, End };

// One part of a run's key as the header gives it.
struct KeyPart {
    bool whole = false;  // its record is whole: the run's value
    bool sure = false;   // and the next record follows it
    bool cut = false;    // its record is the cut end of the file
    std::string text;    // what a cut record kept of the value
};

// The archive name's form of a host or processor ID, as the board makes it.
std::string FileNamePart(std::string_view text) {
    std::string out;
    char hex[8];
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '\n' || c == '\r' || c == '\t') {
            out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += c == '/' ? '_' : ch;
        }
    }
    return out;
}

// The board's checksum of a shortened part (32-bit FNV-1a).
uint32_t NameChecksum(std::string_view text) {
    uint32_t hash = 2166136261u;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

bool Shortened(std::string_view part) {
    if (part.size() <= kShortHexDigits) return false;
    std::string_view hex = part.substr(part.size() - kShortHexDigits);
    return part[part.size() - kShortHexDigits - 1] == kShortMark &&
           hex.find_first_not_of("0123456789ABCDEF") == std::string_view::npos;
}

// The archive name's part `named` as a key part's value, given what the cut record kept of it:
// the name must agree with that, and must not have changed what the cut lost. `fromHeader`
// says that the board took the part from a header value it may have escaped or shortened.
bool NamedValue(std::string_view cut, std::string_view named, bool fromHeader, std::string& value) {
    if (fromHeader && Shortened(named)) return false;
    bool whole = false;  // cut inside the caller tail: the value is the text before a tab
    for (size_t tab = cut.find('\t'); tab != std::string_view::npos && !whole;
         tab = cut.find('\t', tab + 1)) {
        whole = cut.substr(0, tab) == named;
    }
    if (!whole) {
        if (!StartsWith(named, cut)) return false;
        std::string_view lost = named.substr(cut.size());
        if (fromHeader && lost.find_first_of(kNameReplacements) != std::string_view::npos)
            return false;
    }
    value.assign(named);
    return true;
}

// Whether the archive name's part `named` can be the name of the value `value`.
bool NameAgrees(std::string_view value, std::string_view named, bool fromHeader) {
    if (value == named) return true;
    if (!fromHeader) return false;
    std::string part = FileNamePart(value);
    if (!Shortened(named)) return part == named;
    size_t head = named.size() - kShortHexDigits - 1;
    return StartsWith(part, named.substr(0, head)) &&
           std::strtoul(std::string(named.substr(head + 1)).c_str(), nullptr, 16) ==
               NameChecksum(part);
}

// A last record that looks whole may still have lost lines to the cut: its value stands only when
// the archive name agrees with it, else it counts as cut. `named` is null without a name.
void DoubtLast(KeyPart& part, std::string& value, const std::string* named, bool fromHeader) {
    if (!part.whole || part.sure || (named && NameAgrees(value, *named, fromHeader))) return;
    part.whole = false;
    part.cut = true;
    part.text = std::move(value);
    value.clear();
}

// sscanf that must fill every target and consume the whole text; every format ends in %n. The
// formats are literals at each call, passed through here unchecked.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <class... T>
bool ScanAll(const std::string& text, const char* fmt, T*... out) {
    int used = -1;
    int n = std::sscanf(text.c_str(), fmt, out..., &used);
    return n == static_cast<int>(sizeof...(T)) && used == static_cast<int>(text.size());
}
#pragma GCC diagnostic pop

std::string Port(const char* family, int n) {
    return std::string(family) + "-" + std::to_string(n);
}

// "/dev/RS232-5" -> "RS232-5"; anything else unchanged.
std::string PortOfPath(std::string_view path) {
    size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

class Reader {
public:
    explicit Reader(RunRecord& run) : run_(run) {}

    void Take(const LogRecord& rec, const LogRecord* before) {
        const std::string& m = rec.message;
        switch (zone_) {
            case Zone::Header:
                Header(rec, before);
                break;
            case Zone::SetUp:
                SetUp(m);
                break;
            case Zone::Cycles:
            case Zone::Summary:
            case Zone::End:
                Body(m);
                break;
        }
    }

    void StartHeaderless() { zone_ = Zone::Cycles; }
    // The archive name's host, processor ID and stamp, or nulls without a name.
    void DoubtLast(const std::string* host, const std::string* chip, const std::string* stamp) {
        yield::DoubtLast(host_, run_.host, host, true);
        yield::DoubtLast(chip_, run_.chipId, chip, true);
        yield::DoubtLast(time_, run_.timeStamp, stamp, false);
    }
    const KeyPart& Host() const { return host_; }
    const KeyPart& Time() const { return time_; }
    const KeyPart& Chip() const { return chip_; }
    bool Keyed() const { return host_.whole && time_.whole && chip_.whole; }
    bool AnyKey() const {
        return host_.whole || time_.whole || chip_.whole || host_.cut || time_.cut || chip_.cut;
    }

private:
    void Header(const LogRecord& rec, const LogRecord* before) {
        const std::string& m = rec.message;
        int n = 0;
        if (Key(rec, kHostTag, host_, run_.host) || Key(rec, kTimeTag, time_, run_.timeStamp) ||
            Key(rec, kChipTag, chip_, run_.chipId)) {
        } else if (run_.build.empty() && StartsWith(m, "Build:")) {
            run_.build = m.substr(6);
        } else if (run_.version.empty() && StartsWith(m, "Version:")) {
            run_.version = m.substr(8);
        } else if (run_.testMode < 0 && ScanAll(m, "TestMode:%9d%n", &n)) {
            run_.testMode = n;
        } else if (m == kStars && !sawStars_ && before != nullptr) {
            sawStars_ = true;
            TakeArgs(before->message);
        } else if (StartsWith(m, "@:")) {
            zone_ = Zone::SetUp;
            SetUp(m);
        } else if (m == kSetUpFailed) {
            SetUpFailed();
        }
    }

    // The first record of a key part: its value when the record is whole, else what it kept.
    static bool Key(const LogRecord& rec, std::string_view tag, KeyPart& part, std::string& value) {
        if (part.whole || part.cut || !StartsWith(rec.message, tag)) return false;
        std::string text = rec.message.substr(tag.size());
        if (rec.whole) {
            value = std::move(text);
            part.whole = true;
            part.sure = rec.followed;
        } else {
            part.text = std::move(text);
            part.cut = true;
        }
        return true;
    }

    // "<program> <arguments>" as the run's first line after reading the processor ID.
    void TakeArgs(const std::string& line) {
        size_t space = line.find(' ');
        if (space == std::string::npos) return;
        size_t from = line.find_first_not_of(' ', space);
        run_.args = from == std::string::npos ? "" : line.substr(from);
    }

    void SetUp(const std::string& m) {
        int n = 0;
        char fam[16] = {0};
        if (ScanAll(m, "@:nTestCnt:%9d%n", &n)) {
            run_.cyclesAsked = n;
        } else if (ScanAll(m, "@:iPortSelect:%9d%n", &n)) {
            run_.portSelect = n;
        } else if (ScanAll(m, "@:%15s Cnt:%9d%n", fam, &n)) {
            std::string f = fam;
            if (f == "cntUSB") f = "USB";
            if (f == "cntLED") f = "LED";
            run_.counts[f] = n;
        } else if (m == kCyclesStart) {
            zone_ = Zone::Cycles;
        } else if (m == kSetUpFailed) {
            SetUpFailed();
        }
    }

    void SetUpFailed() {
        zone_ = Zone::End;
        if (run_.verdict != Verdict::Incomplete) return;
        run_.verdict = Verdict::Err;
        run_.hasVerdictCode = true;
        run_.verdictCode = kSetUpFailureCode;
    }

    void Body(const std::string& m) {
        if (Tally(m) || EndLine(m)) return;
        if (zone_ != Zone::Cycles) return;
        int n = 0;
        char word[16] = {0};
        if (ScanAll(m, "-----Try Test %9d-----%n", &n)) {
            cycle_ = n;
            ++run_.cyclesRun;
        } else if (ScanAll(m, "****Try Test %15s %9d*****%n", word, &n)) {
            section_ = word;
        } else if (m == kStars) {
            zone_ = Zone::Summary;
        } else if (section_ == "USB") {
            UsbLine(m);
        } else if (section_ == "DIO") {
            DioLine(m);
        } else if (section_ == "RS232") {
            SerialLine(m);
        } else if (section_ == "ADC") {
            AdcLine(m);
        } else if (section_ == "SDO") {
            LedLine(m);
        }
    }

    bool Tally(const std::string& m) {
        char fam[16] = {0};
        char var[4] = {0};
        int n = 0, s = 0, e = 0;
        PortTally t;
        if (ScanAll(m, "%15[A-Z0-9]-%9d:%2[NOC] Test Succ Cnt %9d,Error Cnt %9d%n", fam, &n, var,
                    &s, &e)) {
            t.variant = var;
        } else if (ScanAll(m, "%15[A-Z0-9]-%9d:Test Succ Cnt %9d,Error Cnt %9d%n", fam, &n, &s,
                           &e)) {
        } else if (ScanAll(m, "Led-%9d[%15[^]]]:Test Succ Cnt %9d,Error Cnt %9d%n", &n, fam, &s,
                           &e)) {
            n = LedNumber(fam);
            std::strcpy(fam, "LED");
        } else {
            return false;
        }
        t.family = std::strcmp(fam, "AI") == 0 ? "ADC" : fam;
        t.number = n;
        t.succ = s;
        t.err = e;
        run_.tallies.push_back(std::move(t));
        return true;
    }

    static int LedNumber(const char* name) {
        if (std::strcmp(name, "Beep") == 0) return 1;
        if (std::strcmp(name, "D3") == 0) return 2;
        if (std::strcmp(name, "D2") == 0) return 3;
        return 0;
    }

    // The result document, the verdict code and the verdict: only after the cycles began.
    bool EndLine(const std::string& m) {
        int n = 0;
        if (StartsWith(m, "write ") && EndsWith(m, " !!!")) {
            size_t ok = m.find(" ok:");
            if (ok == std::string::npos) return false;
            run_.resultDoc = m.substr(ok + 4, m.size() - 4 - (ok + 4));
            return true;
        }
        if (ScanAll(m, "iTestSta:%9d%n", &n)) {
            run_.hasVerdictCode = true;
            run_.verdictCode = n;
            return true;
        }
        bool ok = m == "Test Q7 OK!!!";
        if (!ok && m != "Test Q7 Err!!!") return false;
        if (run_.verdict == Verdict::Incomplete) run_.verdict = ok ? Verdict::Ok : Verdict::Err;
        zone_ = Zone::End;
        return true;
    }

    Measurement& Add(const std::string& port, const std::string& name, double value,
                     const char* unit, const std::string& line) {
        Measurement x;
        x.cycle = cycle_;
        x.port = port;
        x.name = name;
        x.value = value;
        x.unit = unit;
        x.outcome = "info";
        x.line = line;
        run_.measurements.push_back(std::move(x));
        return run_.measurements.back();
    }

    static void Judge(Measurement& x, double low, double high, bool passed) {
        x.hasLimits = true;
        x.low = low;
        x.high = high;
        x.outcome = passed ? "pass" : "fail";
    }

    void Fail(const std::string& port, const std::string& line) {
        run_.failures.push_back(FailureLine{cycle_, port, line});
    }

    // An error line the routine's own patterns do not name a port in.
    void GeneralError(const std::string& m, const char* family) {
        if (m.find("Err") != std::string::npos || m.find("error") != std::string::npos) {
            Fail(family, m);
        }
    }

    void UsbLine(const std::string& m) {
        int n = 0;
        if (ScanAll(m, "USB Dev Cnt:%9d%n", &n)) {
            Measurement& x = Add("USB", "USB.count", n, "sticks", m);
            auto expected = run_.counts.find("USB");
            if (expected != run_.counts.end()) {
                Judge(x, expected->second, expected->second, n >= expected->second);
                if (n < expected->second) Fail("USB", m);
            }
        } else if (m == "TF card not mount") {
            Add("", "TF.mounted", 0, "cards", m);
        } else if (ScanAll(m, "TF card mount nCnttmp:%9d%n", &n)) {
            Add("", "TF.mounted", n, "cards", m);
        } else {
            GeneralError(m, "USB");
        }
    }

    void DioLine(const std::string& m) {
        int k = 0, s = 0, d = 0, v = 0;
        char word[8] = {0};
        if (ScanAll(m, "Write DO%9d:%9d Read DI%9d:%9d %7s%n", &k, &s, &d, &v, word)) {
            ReadBack("DO", k, s, d, v, word, m);
        } else if (ScanAll(m, "Write SDO%9d:%9d Read DI%9d:%9d %7s%n", &k, &s, &d, &v, word)) {
            ReadBack("SDO", k, s, d, v, word, m);
        } else if (ScanAll(m, "Write DO%9d:%9d Err!%n", &k, &s) ||
                   ScanAll(m, "Write DO%9d:%9d no DI%9d to read, Err!%n", &k, &s, &d)) {
            Fail(Port("DO", k), m);
        } else if (ScanAll(m, "Write SDO%9d:%9d no DI%9d to read, Err!%n", &k, &s, &d)) {
            Fail(Port("DI", d), m);
        } else {
            GeneralError(m, "DIO");
        }
    }

    void ReadBack(const char* out, int k, int s, int d, int v, const char* word,
                  const std::string& m) {
        bool passed = std::strcmp(word, "OK!") == 0;
        std::string name = std::string(out) + std::to_string(k) + "=" + std::to_string(s) + ".DI" +
                           std::to_string(d);
        bool system = std::strcmp(out, "SDO") == 0;
        Judge(Add(system ? Port("DI", d) : Port("DO", k), name, v, "level", m), s, s, passed);
        if (passed) return;
        if (!system) Fail(Port("DO", k), m);
        Fail(Port("DI", d), m);
    }

    void SerialLine(const std::string& m) {
        int a = 0, n = 0;
        size_t read = m.find(",Read RS232-");
        if (std::sscanf(m.c_str(), "Write RS232-%9d msgSend:", &a) == 1 &&
            read != std::string::npos) {
            PairRead(a, m.substr(read + 12), m);
        } else if (std::sscanf(m.c_str(), "Err Write RS232-%9d", &a) == 1 ||
                   (std::sscanf(m.c_str(), "Write RS232-%9d msgSend:", &a) == 1 &&
                    m.find(",Err!") != std::string::npos) ||
                   ScanAll(m, "RS232-%9d has no partner, not tested!!!%n", &a)) {
            Fail(Port("RS232", a), m);
        } else if (StartsWith(m, "open Port:") || StartsWith(m, "set_opt Port:")) {
            size_t colon = m.find(':');
            size_t end = m.rfind(" Err!!!");
            Fail(PortOfPath(m.substr(colon + 1, end - colon - 1)), m);
        } else if (AtLine(m)) {
        } else if (ScanAll(m, "iwrite:%9d iread:%9d Err!!!%n", &a, &n)) {
            std::string port = atPort_.empty() ? "RS232" : atPort_;
            Measurement& x = Add(port, "AT.answer", 0, "bytes", m);
            lastAnswer_[cycle_] = run_.measurements.size() - 1;
            x.outcome = "fail";
            Fail(port, m);
        } else {
            GeneralError(m, "RS232");
        }
    }

    // "<b> OK! iread:<n> msg: ..." / "<b> Error! iread:..." / "<b> iread:..." (the sender's own).
    void PairRead(int a, const std::string& rest, const std::string& m) {
        int b = 0, n = 0, used = 0;
        if (std::sscanf(rest.c_str(), "%9d%n", &b, &used) != 1) return;
        std::string after = rest.substr(static_cast<size_t>(used));
        const char* verdictWord = StartsWith(after, " OK! ")      ? "pass"
                                  : StartsWith(after, " Error! ") ? "fail"
                                                                  : nullptr;
        size_t at = after.find("iread:");
        if (at == std::string::npos || std::sscanf(after.c_str() + at, "iread:%9d", &n) != 1)
            return;
        std::string name = Port("RS232", a) + ">" + std::to_string(b) + ".bytes";
        Measurement& x = Add(Port("RS232", a), name, n, "bytes", m);
        if (verdictWord == nullptr) return;
        bool passed = std::strcmp(verdictWord, "pass") == 0;
        Judge(x, kLoopBackBytes, kLoopBackBytes, passed);
        if (!passed) Fail(Port("RS232", a), m);
    }

    bool AtLine(const std::string& m) {
        if (!StartsWith(m, "/dev/") && !StartsWith(m, "Port:")) return false;
        size_t probe = m.find(" iwrite:");
        if (StartsWith(m, "/dev/") && probe != std::string::npos)
            atPort_ = PortOfPath(m.substr(0, probe));
        size_t read = m.find(" read:");
        if (StartsWith(m, "/dev/") && read != std::string::npos) {
            bool err = EndsWith(m, " Err!!!");
            std::string text = m.substr(read + 6, m.size() - read - 6 - (err ? 7 : 0));
            Measurement& x = Add(PortOfPath(m.substr(0, read)), "AT.answer", 0, "bytes", m);
            lastAnswer_[cycle_] = run_.measurements.size() - 1;
            x.text = text;
            x.value = static_cast<double>(text.size());
            if (err) Fail(x.port, m);
            return true;
        }
        bool ok = EndsWith(m, " Test OK !!! ");
        bool err = EndsWith(m, " Test Err !!!");
        if (StartsWith(m, "/dev/")) {
            if (m.find(" Err") != std::string::npos) Fail(PortOfPath(m.substr(0, m.find(' '))), m);
            return true;
        }
        if (!ok && !err) return false;
        std::string port = PortOfPath(m.substr(5, m.find(" Test ") - 5));
        auto answer = lastAnswer_.find(cycle_);
        if (answer != lastAnswer_.end()) {
            run_.measurements[answer->second].outcome = ok ? "pass" : "fail";
        }
        if (err) Fail(port, m);
        return true;
    }

    void AdcLine(const std::string& m) {
        int ch = 0, raw = 0, h = 0;
        char word[8] = {0};
        if (std::sscanf(m.c_str(), "cat /sys/bus/iio/devices/iio:device0/in_voltage%9d_raw", &ch) ==
            1) {
            adcInput_ = ch <= kLastDirectAdcChannel ? ch : ch - kSkippedAdcChannels;
        } else if (ScanAll(m, "AI%9d: nDatRead=%9d nValTmp=%9d %7s%n", &ch, &raw, &h, word)) {
            bool passed = std::strcmp(word, "OK!") == 0;
            std::string port = Port("ADC", ch);
            std::string name = "AI" + std::to_string(ch);
            Add(port, name + ".raw", raw, "counts", m);
            Judge(Add(port, name, h / 100.0, "V", m), kAdcLowHundredths / 100.0,
                  kAdcHighHundredths / 100.0, passed);
            if (!passed) Fail(port, m);
        } else if (ScanAll(m, "Err nDatRead:%9d%n", &raw)) {
            std::string port = Port("ADC", adcInput_);
            Judge(Add(port, "AI" + std::to_string(adcInput_) + ".raw", raw, "counts", m), 1, 4095,
                  false);
            Fail(port, m);
        } else {
            GeneralError(m, "ADC");
        }
    }

    void LedLine(const std::string& m) {
        int o = 0, v = 0;
        char word[8] = {0};
        if (ScanAll(m, "Write SDO%9d:%9d %7s%n", &o, &v, word)) {
            bool passed = std::strcmp(word, "OK!") == 0;
            std::string port = Port("LED", o - kFirstLedOutput + 1);
            Judge(Add(port, "SDO" + std::to_string(o) + "=" + std::to_string(v), v, "level", m), v,
                  v, passed);
            if (!passed) Fail(port, m);
        } else {
            GeneralError(m, "LED");
        }
    }

    RunRecord& run_;
    Zone zone_ = Zone::Header;
    KeyPart host_, time_, chip_;
    bool sawStars_ = false;
    int cycle_ = 0;
    int adcInput_ = 0;
    std::string section_;
    std::string atPort_;  // the port the AT probe went to
    std::map<int, size_t> lastAnswer_;  // each cycle's last AT answer among the measurements
};

// Port outcomes from the result document's sections; false when it does not parse.
bool PortsFromDocument(RunRecord& run) {
    nlohmann::json doc = nlohmann::json::parse(run.resultDoc, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) return false;
    auto sections = doc.find("logDate");
    if (sections == doc.end() || !sections->is_array()) return false;
    for (const auto& sec : *sections) {
        if (!sec.is_object() || !sec.contains("name") || !sec["name"].is_string()) continue;
        if (!sec.contains("info") || !sec["info"].is_array()) continue;
        int number = 0;
        for (const auto& entry : sec["info"]) {
            ++number;
            PortResult p;
            p.family = sec["name"].get<std::string>();
            p.number = number;
            p.passed = entry.is_object() && entry.contains("port") && entry["port"] == 1;
            run.ports.push_back(std::move(p));
        }
    }
    return true;
}

int CountOf(const RunRecord& run, const std::string& family) {
    auto it = run.counts.find(family == "ADC" ? "AI" : family);
    return it == run.counts.end() ? -1 : it->second;
}

// Port outcomes from the tallies: a port passes with at least one pass and no failure in every
// tally it has. Ports past the family's discovered count are left out.
void PortsFromTallies(RunRecord& run) {
    std::map<std::pair<std::string, int>, PortResult> byPort;
    for (const PortTally& t : run.tallies) {
        int count = CountOf(run, t.family);
        if (count >= 0 && t.number > count) continue;
        auto key = std::make_pair(t.family, t.number);
        auto [it, fresh] = byPort.try_emplace(key);
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

// Whether the records show anything of a run's body.
bool HasBody(const RunRecord& run) {
    return run.cyclesRun > 0 || !run.tallies.empty() || !run.measurements.empty() ||
           !run.failures.empty() || run.Complete() || run.hasVerdictCode || !run.resultDoc.empty();
}

bool PartFromName(const KeyPart& part, std::string_view named, bool fromHeader,
                  std::string& value) {
    return part.whole || NamedValue(part.text, named, fromHeader, value);
}

// The key parts a cut header lost, from the archive name; false when the name does not give
// them.
bool KeyFromName(const Reader& reader, std::string_view fileName, RunRecord& run) {
    std::string host, chip, stamp;
    return ParseArchiveName(fileName, host, chip, stamp) &&
           PartFromName(reader.Host(), host, true, run.host) &&
           PartFromName(reader.Chip(), chip, true, run.chipId) &&
           PartFromName(reader.Time(), stamp, false, run.timeStamp);
}

bool FillIdentityFromName(RunRecord& run, std::string_view fileName) {
    std::string host, chip, stamp;
    if (!ParseArchiveName(fileName, host, chip, stamp)) return false;
    run.host = host;
    run.chipId = chip;
    run.timeStamp = stamp;
    return true;
}

// A rotated tail: the rest of a run whose first 20,000 lines went to the backup file, keyed by
// its archive name. Records without any of a run's body are rather a header cut before its key.
bool ReadTail(const std::vector<LogRecord>& recs, std::string_view fileName, RunRecord& run) {
    RunRecord tail;
    Reader reader(tail);
    reader.StartHeaderless();
    for (const LogRecord& r : recs) reader.Take(r, nullptr);
    if (!HasBody(tail) || !FillIdentityFromName(tail, fileName)) return false;
    tail.headerless = true;
    run = std::move(tail);
    return true;
}

// The run's key: the header's, a rotated tail's archive name, or the header's with the parts a
// cut took from it filled in from the archive name.
bool Identify(Reader& reader, const std::vector<LogRecord>& recs, std::string_view fileName,
              RunRecord& run) {
    std::string host, chip, stamp;
    if (ParseArchiveName(fileName, host, chip, stamp))
        reader.DoubtLast(&host, &chip, &stamp);
    else
        reader.DoubtLast(nullptr, nullptr, nullptr);
    if (reader.Keyed()) return true;
    if (!reader.AnyKey() && ReadTail(recs, fileName, run)) return true;
    return KeyFromName(reader, fileName, run);
}

}  // namespace

bool ParseArchiveName(std::string_view name, std::string& host, std::string& chipId,
                      std::string& timeStamp) {
    static constexpr std::string_view kPrefix = "deVuzeV7_";
    static constexpr size_t kStampLen = 19;  // YYYY_MM_DD_HH_MM_SS
    size_t slash = name.rfind('/');
    if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
    if (!StartsWith(name, kPrefix) || !EndsWith(name, ".log")) return false;
    name.remove_suffix(4);
    if (EndsWith(name, "[OK]"))
        name.remove_suffix(4);
    else if (EndsWith(name, "[ERR]"))
        name.remove_suffix(5);
    if (name.size() < kPrefix.size() + kStampLen + 4) return false;
    std::string_view stamp = name.substr(name.size() - kStampLen);
    name.remove_suffix(kStampLen);
    if (!EndsWith(name, "]_")) return false;
    name.remove_suffix(2);
    size_t open = name.rfind('[');
    if (open == std::string_view::npos || open < kPrefix.size()) return false;
    host.assign(name.substr(kPrefix.size(), open - kPrefix.size()));
    chipId.assign(name.substr(open + 1));
    timeStamp.assign(stamp);
    return true;
}

ParseResult ParseLog(std::string_view bytes, std::string_view fileName) {
    ParseResult out;
    if (bytes.empty()) {
        out.kind = ParseResult::Kind::Empty;
        out.reason = "empty file";
        return out;
    }
    std::vector<LogRecord> recs = SplitRecords(bytes);
    if (recs.empty()) {
        out.reason = "not a trace log";
        return out;
    }
    RunRecord& run = out.run;
    Reader reader(run);
    for (size_t i = 0; i < recs.size(); ++i) reader.Take(recs[i], i == 0 ? nullptr : &recs[i - 1]);
    if (!Identify(reader, recs, fileName, run)) {
        out.reason = reader.AnyKey() ? kCutShort : kNoHeader;
        return out;
    }
    out.kind = ParseResult::Kind::Run;
    run.records = static_cast<int>(recs.size());
    run.bytes = static_cast<long long>(bytes.size()) - LineEndCrs(bytes);
    run.startedAt = recs.front().time;
    run.endedAt = recs.back().time;
    if (run.resultDoc.empty() || !PortsFromDocument(run)) {
        run.ports.clear();
        PortsFromTallies(run);
    }
    MarkIntermittent(run);
    return out;
}

}  // namespace yield
