// The run's header (its key, build, version, test mode, arguments) and the set-up lines (cycles
// asked, port selection, the families' counts), as hwtest/startup.cpp writes them.
#include "parse/readerState.h"

namespace yield::parse {
namespace {
using namespace tracefmt;

// The run ends in its set-up; the line is the run's own failure, as it names no port.
void SetUpFailed(ReaderState& st) {
    st.zone = Zone::End;
    if (st.run.verdict != Verdict::Incomplete) return;
    st.run.verdict = Verdict::Err;
    st.run.hasVerdictCode = true;
    st.run.verdictCode = kSetUpFailureCode;
    Fail(st, "", kSetUpFailed);
}

// The first record of a key part: its value when the record is whole, else what it kept.
bool Key(const LogRecord& rec, std::string_view key, KeyPart& part, std::string& value) {
    if (part.whole || part.cut || !StartsWith(rec.message, key)) return false;
    std::string text = rec.message.substr(key.size());
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

bool AnyKey(ReaderState& st, const LogRecord& rec) {
    return Key(rec, kHostKey, st.host, st.run.host) ||
           Key(rec, kDateTimeKey, st.time, st.run.timeStamp) ||
           Key(rec, kChipIdKey, st.chip, st.run.chipId);
}

// A value "<key><value>" the header gives once; true when the line was it.
bool Value(const std::string& m, std::string_view key, std::string& value) {
    if (!value.empty() || !StartsWith(m, key)) return false;
    value = m.substr(key.size());
    return true;
}

// "<program> <arguments>" as the run's first line (kArgsFmt).
void TakeArgs(RunRecord& run, const std::string& line) {
    size_t space = line.find(' ');
    if (space == std::string::npos) return;
    size_t from = line.find_first_not_of(' ', space);
    run.args = from == std::string::npos ? "" : line.substr(from);
}

}  // namespace

void ReadHeaderLine(ReaderState& st, const LogRecord& rec, const LogRecord* before) {
    const std::string& m = rec.message;
    int n = 0;
    if (AnyKey(st, rec) || Value(m, kBuildKey, st.run.build) ||
        Value(m, kVersionKey, st.run.version)) {
    } else if (st.run.testMode < 0 && ScanAll(m, kTestModeScan, &n)) {
        st.run.testMode = n;
    } else if (m == kStars && !st.sawStars && before != nullptr) {
        st.sawStars = true;
        TakeArgs(st.run, before->message);
    } else if (StartsWith(m, kSetUpMark)) {
        st.zone = Zone::SetUp;
        ReadSetUpLine(st, m);
    } else if (m == kSetUpFailed) {
        SetUpFailed(st);
    }
}

void ReadSetUpLine(ReaderState& st, const std::string& m) {
    int n = 0;
    char family[16] = {0};
    if (ScanAll(m, kTestCntScan, &n)) {
        st.run.cyclesAsked = n;
    } else if (ScanAll(m, kPortSelectScan, &n)) {
        st.run.portSelect = n;
    } else if (ScanAll(m, kCountScan, family, &n)) {
        std::string f = family;
        if (f == kCountUsb) f = kDocUsb;
        if (f == kCountLed) f = kDocLed;
        st.run.counts[f] = n;
    } else if (m == kCyclesStart) {
        st.zone = Zone::Cycles;
    } else if (m == kSetUpFailed) {
        SetUpFailed(st);
    }
}

}  // namespace yield::parse
