// The log parser's frame: goes through the records zone by zone, hands each cycle's lines to
// the reader of their section (one file per part of the log), and keys the run.
#include "parse/logParser.h"

#include <algorithm>
#include <iterator>

#include "parse/readerState.h"

namespace yield {
namespace parse {
namespace {
using namespace tracefmt;

constexpr char kEmptyFile[] = "empty file";
constexpr char kNotALog[] = "not a trace log";
constexpr char kCutShort[] = "run header cut short (no host, processor ID or time stamp)";
constexpr char kNoHeader[] = "trace log without a run header";
constexpr char kPathSeparator = '/';

using LineReader = void (*)(ReaderState&, const std::string&);

struct SectionReader {
    const char* section;
    LineReader read;
};

constexpr SectionReader kSectionReaders[] = {
    {kSectionUsb, ReadUsbLine}, {kSectionDio, ReadDioLine}, {kSectionRs232, ReadSerialLine},
    {kSectionAdc, ReadAdcLine}, {kSectionLed, ReadLedLine},
};

// A line of the current section, handed to that section's reader.
void SectionLine(ReaderState& st, const std::string& m) {
    for (const SectionReader& r : kSectionReaders) {
        if (st.section == r.section) {
            r.read(st, m);
            return;
        }
    }
}

// A line after the set-up: summary lines anywhere, the marks and section lines in the cycles.
void BodyLine(ReaderState& st, const std::string& m) {
    if (ReadSummaryLine(st, m) || st.zone != Zone::Cycles) return;
    int n = 0;
    char word[16] = {0};
    if (ScanAll(m, kCycleScan, &n)) {
        st.cycle = n;
        ++st.run.cyclesRun;
    } else if (ScanAll(m, kSectionScan, word, &n)) {
        st.section = word;
    } else if (m == kStars) {
        st.zone = Zone::Summary;
    } else {
        SectionLine(st, m);
    }
}

void Take(ReaderState& st, const LogRecord& rec, const LogRecord* before) {
    switch (st.zone) {
        case Zone::Header:
            ReadHeaderLine(st, rec, before);
            break;
        case Zone::SetUp:
            ReadSetUpLine(st, rec.message);
            break;
        case Zone::Cycles:
        case Zone::Summary:
        case Zone::End:
            BodyLine(st, rec.message);
            break;
    }
}

bool Keyed(const ReaderState& st) { return st.host.whole && st.time.whole && st.chip.whole; }

bool AnyKey(const ReaderState& st) {
    return st.host.whole || st.time.whole || st.chip.whole || st.host.cut || st.time.cut ||
           st.chip.cut;
}

// Whether the records show anything of a run's body.
bool HasBody(const RunRecord& run) {
    return run.cyclesRun > 0 || !run.tallies.empty() || !run.measurements.empty() ||
           !run.failures.empty() || run.Complete() || run.hasVerdictCode || !run.resultDoc.empty();
}

bool FillIdentityFromName(RunRecord& run, std::string_view fileName) {
    return ParseArchiveName(fileName, run.host, run.chipId, run.timeStamp);
}

// A rotated tail: the rest of a run whose first 20,000 lines went to the backup file, keyed by
// its archive name. Records without any of a run's body are rather a header cut before its key.
bool ReadTail(const std::vector<LogRecord>& recs, std::string_view fileName, RunRecord& run) {
    RunRecord tail;
    ReaderState st(tail);
    st.zone = Zone::Cycles;
    for (const LogRecord& r : recs) Take(st, r, nullptr);
    if (!HasBody(tail) || !FillIdentityFromName(tail, fileName)) return false;
    tail.headerless = true;
    run = std::move(tail);
    return true;
}

// The run's key: the header's, a rotated tail's archive name, or the header's with the parts a
// cut took from it filled in from the archive name.
bool Identify(ReaderState& st, const std::vector<LogRecord>& recs, std::string_view fileName,
              RunRecord& run) {
    std::string host, chip, stamp;
    if (ParseArchiveName(fileName, host, chip, stamp))
        DoubtLast(st, &host, &chip, &stamp);
    else
        DoubtLast(st, nullptr, nullptr, nullptr);
    if (Keyed(st)) return true;
    if (!AnyKey(st) && ReadTail(recs, fileName, run)) return true;
    return KeyFromName(st, fileName, run);
}

// What the whole file says beside its lines: its size, its records, its first and last time.
void FileFacts(const std::vector<LogRecord>& recs, std::string_view bytes, RunRecord& run) {
    run.records = static_cast<int>(recs.size());
    run.bytes = static_cast<long long>(bytes.size()) - LineEndCrs(bytes);
    run.startedAt = recs.front().time;
    run.endedAt = recs.back().time;
}

}  // namespace

std::string Port(const char* family, int n) {
    return std::string(family) + kPortSeparator + std::to_string(n);
}

std::string PortOfPath(std::string_view path) {
    size_t slash = path.rfind(kPathSeparator);
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

Measurement& AddMeasurement(ReaderState& st, const std::string& port, const std::string& name,
                            double value, const char* unit, const std::string& line) {
    Measurement x;
    x.cycle = st.cycle;
    x.port = port;
    x.name = name;
    x.value = value;
    x.unit = unit;
    x.outcome = kOutcomeInfo;
    x.line = line;
    st.run.measurements.push_back(std::move(x));
    return st.run.measurements.back();
}

void Judge(Measurement& x, double low, double high, bool passed) {
    x.hasLimits = true;
    x.low = low;
    x.high = high;
    x.outcome = passed ? kOutcomePass : kOutcomeFail;
}

void Fail(ReaderState& st, const std::string& port, const std::string& line) {
    st.run.failures.push_back(FailureLine{st.cycle, port, line});
}

void Overrule(ReaderState& st, const std::string& port, bool (*of)(const Measurement&)) {
    std::vector<Measurement>& ms = st.run.measurements;
    std::vector<FailureLine>& fs = st.run.failures;
    for (auto x = ms.rbegin(); x != ms.rend() && x->cycle == st.cycle; ++x) {
        if (x->port != port || x->outcome != kOutcomeFail || !of(*x)) continue;
        x->outcome = kOutcomeInfo;
        fs.erase(std::remove_if(fs.begin(), fs.end(),
                                [&](const FailureLine& f) {
                                    return f.cycle == st.cycle && f.port == port &&
                                           f.line == x->line;
                                }),
                 fs.end());
    }
}

void GeneralError(ReaderState& st, const std::string& m, const char* family) {
    if (m.find(kErrWord) != std::string::npos || m.find(kErrorWord) != std::string::npos) {
        Fail(st, family, m);
    }
}

}  // namespace parse

ParseResult ParseLog(std::string_view bytes, std::string_view fileName) {
    ParseResult out;
    if (bytes.empty()) {
        out.kind = ParseResult::Kind::Empty;
        out.reason = parse::kEmptyFile;
        return out;
    }
    std::vector<LogRecord> recs = SplitRecords(bytes);
    if (recs.empty()) {
        out.reason = parse::kNotALog;
        return out;
    }
    RunRecord& run = out.run;
    parse::ReaderState st(run);
    for (size_t i = 0; i < recs.size(); ++i)
        parse::Take(st, recs[i], i == 0 ? nullptr : &recs[i - 1]);
    if (!parse::Identify(st, recs, fileName, run)) {
        out.reason = parse::AnyKey(st) ? parse::kCutShort : parse::kNoHeader;
        return out;
    }
    out.kind = ParseResult::Kind::Run;
    parse::FileFacts(recs, bytes, run);
    parse::FillPorts(run);
    return out;
}

}  // namespace yield
