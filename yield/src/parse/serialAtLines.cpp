// The RS232 section's lines: the pairs' loop-back exchanges and the ports that would not open,
// as hwtest/rs232Loopback.cpp writes them, and the AT probe of the sensor port, as
// hwtest/thSensor.cpp writes it.
#include "parse/readerState.h"

namespace yield::parse {
namespace {
using namespace tracefmt;

constexpr char kAtAnswerName[] = "AT.answer";
constexpr char kPairBytesName[] = ".bytes";
constexpr char kPairContentName[] = ".content";
constexpr char kPairArrow[] = ">";
constexpr char kPatternKey[] = "msgSend:";
constexpr char kReceivedKey[] = " msg: ";
constexpr int kOwnReadBytes = 0;  // a sender must not hear its own pattern

// A measurement of a pair's read (its byte count or its content), not the AT probe's.
bool PairReadValue(const Measurement& x) { return x.name.find(kPairArrow) != std::string::npos; }

// How many of the pattern's bytes (its zero byte counted) came back in their place.
int MatchedBytes(const std::string& sent, const std::string& got) {
    int n = 0;
    for (size_t i = 0; i <= sent.size() && i < static_cast<size_t>(kLoopBackBytes); ++i) {
        char want = sent[i];  // sent[sent.size()] is the zero byte
        char have = i < got.size() ? got[i] : '\0';
        if (want == have) ++n;
    }
    return n;
}

// A partner's read that got every byte but not the pattern: what came back, judged on its own.
void ContentRead(ReaderState& st, const std::string& port, const std::string& name,
                 const std::string& m) {
    size_t sentAt = m.find(kPatternKey);
    size_t sentEnd = m.find(kPairReadKey);
    size_t gotAt = m.find(kReceivedKey);
    if (sentAt == std::string::npos || sentEnd == std::string::npos || gotAt == std::string::npos)
        return;
    sentAt += Length(kPatternKey);
    std::string sent = m.substr(sentAt, sentEnd - sentAt);
    std::string got = m.substr(gotAt + Length(kReceivedKey));
    Measurement& x =
        AddMeasurement(st, port, name + kPairContentName, MatchedBytes(sent, got), kUnitBytes, m);
    x.text = got;
    Judge(x, kLoopBackBytes, kLoopBackBytes, false);
}

// The measurement of a pair's read, filed under the port that read (b): "<b> OK! iread:<n> ..."
// and "<b> Error! iread:..." judge the partner's read; "<b> iread:..." is the sender reading its
// own line, judged ("Error!") only when it heard its own pattern. The byte count is judged by the
// count alone: a partner that got every byte but other content fails on a content measurement of
// its own.
void PairRead(ReaderState& st, int a, const std::string& rest, const std::string& m) {
    int b = 0, n = 0, used = 0;
    if (std::sscanf(rest.c_str(), "%9d%n", &b, &used) != 1) return;  // the reader's number
    std::string after = rest.substr(static_cast<size_t>(used));
    bool judged = StartsWith(after, kPairReadOk) || StartsWith(after, kPairReadErr);
    bool passed = StartsWith(after, kPairReadOk);
    size_t at = after.find(kReadCountKey);
    if (at == std::string::npos || !ScanStart(after.c_str() + at, kReadCountScan, &n)) return;
    // The read is the reader's: a burst that came back wrong is heard, and failed, by b.
    std::string port = Port(kDocRs232, b);
    std::string name = Port(kDocRs232, a) + kPairArrow + std::to_string(b);
    Measurement& x = AddMeasurement(st, port, name + kPairBytesName, n, kUnitBytes, m);
    if (!judged) return;
    if (a == b) {
        Judge(x, kOwnReadBytes, kOwnReadBytes, n == kOwnReadBytes);
    } else {
        Judge(x, kLoopBackBytes, kLoopBackBytes, n == kLoopBackBytes);
        if (!passed && n == kLoopBackBytes) ContentRead(st, port, name, m);
    }
    if (!passed) Fail(st, port, m);
    // The board keeps a port's last read: a partner's good read clears what the port's own
    // echo failed before it in the cycle.
    if (passed && a != b) Overrule(st, port, PairReadValue);
}

// A sender whose pattern did not go out, or a port without a partner: that port failed.
bool SenderFailure(const std::string& m, int& a) {
    return ScanStart(m.c_str(), kPartnerSendErrScan, &a) ||
           (ScanStart(m.c_str(), kPairSendScan, &a) && m.find(kPairSendErr) != std::string::npos) ||
           ScanAll(m, kNoPartnerScan, &a);
}

// "open Port:<path> Err!!!" and "set_opt Port:<path> Err!!!": the port of the path failed.
bool PortOpenFailure(ReaderState& st, const std::string& m) {
    std::string_view key = StartsWith(m, kOpenPortErrKey) ? kOpenPortErrKey
                           : StartsWith(m, kSetOptErrKey) ? kSetOptErrKey
                                                          : "";
    if (key.empty()) return false;
    size_t end = m.rfind(kPortErrEnd);
    Fail(st, PortOfPath(m.substr(key.size(), end - key.size())), m);
    return true;
}

// "<path> read:<answer>[ Err!!!]": the answer, judged by the outcome line that follows.
void AtAnswer(ReaderState& st, const std::string& m, size_t read) {
    bool err = EndsWith(m, kPortErrEnd);
    size_t from = read + Length(kAtAnswerKey);
    std::string text = m.substr(from, m.size() - from - (err ? Length(kPortErrEnd) : 0));
    Measurement& x =
        AddMeasurement(st, PortOfPath(m.substr(0, read)), kAtAnswerName, 0, kUnitBytes, m);
    st.lastAnswer[st.cycle] = st.run.measurements.size() - 1;
    x.text = text;
    x.value = static_cast<double>(text.size());
    if (err) Fail(st, x.port, m);
}

// A line that starts with the port's path: the probe sent, its answer, or an error.
void AtDeviceLine(ReaderState& st, const std::string& m) {
    size_t probe = m.find(kAtSendKey);
    if (probe != std::string::npos) st.atPort = PortOfPath(m.substr(0, probe));
    size_t read = m.find(kAtAnswerKey);
    if (read != std::string::npos) {
        AtAnswer(st, m, read);
    } else if (m.find(kAtErrMark) != std::string::npos) {
        Fail(st, PortOfPath(m.substr(0, m.find(' '))), m);
    }
}

// "Port:<path> Test OK !!! " or "... Test Err !!!": rules on the cycle's last AT answer.
bool AtOutcome(ReaderState& st, const std::string& m) {
    bool ok = EndsWith(m, kAtPassEnd);
    bool err = EndsWith(m, kAtFailEnd);
    if (!StartsWith(m, kAtOutcomeStart) || (!ok && !err)) return false;
    size_t from = Length(kAtOutcomeStart);
    std::string port = PortOfPath(m.substr(from, m.find(kAtOutcomeKey) - from));
    auto answer = st.lastAnswer.find(st.cycle);
    if (answer != st.lastAnswer.end())
        st.run.measurements[answer->second].outcome = ok ? kOutcomePass : kOutcomeFail;
    if (err) Fail(st, port, m);
    return true;
}

// The probe got no answer: filed under the port the probe went to.
void AtNoAnswer(ReaderState& st, const std::string& m) {
    std::string port = st.atPort.empty() ? kDocRs232 : st.atPort;
    Measurement& x = AddMeasurement(st, port, kAtAnswerName, 0, kUnitBytes, m);
    st.lastAnswer[st.cycle] = st.run.measurements.size() - 1;
    x.outcome = kOutcomeFail;
    Fail(st, port, m);
}

// A line that is neither a pair's exchange nor a sender's failure: a port that did not open, the
// AT device's lines, else an error of the family.
void OtherSerialLine(ReaderState& st, const std::string& m) {
    if (PortOpenFailure(st, m)) return;
    if (StartsWith(m, kPortPathStart)) {
        AtDeviceLine(st, m);
        return;
    }
    if (AtOutcome(st, m)) return;
    int a = 0, n = 0;
    if (ScanAll(m, kAtNoAnswerScan, &a, &n))
        AtNoAnswer(st, m);
    else
        GeneralError(st, m, kDocRs232);
}

}  // namespace

void ReadSerialLine(ReaderState& st, const std::string& m) {
    int a = 0;
    size_t read = m.find(kPairReadKey);
    if (ScanStart(m.c_str(), kPairSendScan, &a) && read != std::string::npos)
        PairRead(st, a, m.substr(read + Length(kPairReadKey)), m);
    else if (SenderFailure(m, a))
        Fail(st, Port(kDocRs232, a), m);
    else
        OtherSerialLine(st, m);
}

}  // namespace yield::parse
