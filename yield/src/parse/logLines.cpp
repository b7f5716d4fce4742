#include "parse/logLines.h"

#include <algorithm>
#include <cctype>

#include "traceLogFormat.h"

namespace yield {
namespace {

// The prefix is read by hand rather than with tracefmt::kRecordPrefixScan: a scan would take a
// sign or blanks before the number and refuses an empty tag, and so would split a log otherwise.
constexpr std::string_view kTimeShape = tracefmt::kTimeFieldShape;  // '0': any digit
constexpr std::string_view kSeqEnd = tracefmt::kSeqEnd;
constexpr size_t kMaxSeqDigits = tracefmt::kMaxSeqDigits;
// From the end of the number to the tag's ']'.
constexpr size_t kMaxTagSpan = kSeqEnd.size() + tracefmt::kMaxTagLength;
constexpr std::string_view kTailLine = tracefmt::kCallerTailLine;
constexpr char kTailStart = tracefmt::kCallerTailFmt[0];  // the tab before the caller tail

bool ShapeChar(char want, char got) {
    return want == '0' ? isdigit(static_cast<unsigned char>(got)) != 0 : got == want;
}

bool Digits(std::string_view s, size_t at, size_t n) {
    if (at + n > s.size()) return false;
    for (size_t i = at; i < at + n; ++i) {
        if (!isdigit(static_cast<unsigned char>(s[i]))) return false;
    }
    return true;
}

// "[YYYY-MM-DD HH:MM:SS] " at `at`; true and the time text when it is there.
bool TimeField(std::string_view line, size_t at, std::string& time) {
    if (at + kTimeShape.size() > line.size()) return false;
    for (size_t i = 0; i < kTimeShape.size(); ++i) {
        if (!ShapeChar(kTimeShape[i], line[at + i])) return false;
    }
    time.assign(line.substr(at + 1, tracefmt::kRecordTimeLength));
    return true;
}

// Parses the record prefix; returns the offset of the message or npos.
size_t ParsePrefix(std::string_view line, long wantSeq, LogRecord& rec) {
    size_t i = 0;
    while (i < line.size() && i <= kMaxSeqDigits && isdigit(static_cast<unsigned char>(line[i])))
        ++i;
    if (i == 0 || i > kMaxSeqDigits || (i > 1 && line[0] == '0')) return std::string_view::npos;
    if (std::stol(std::string(line.substr(0, i))) != wantSeq) return std::string_view::npos;
    if (line.substr(i, kSeqEnd.size()) != kSeqEnd) return std::string_view::npos;
    size_t close = line.find(']', i + kSeqEnd.size());
    if (close == std::string_view::npos || close - i > kMaxTagSpan) return std::string_view::npos;
    if (!TimeField(line, close + 1, rec.time)) return std::string_view::npos;
    rec.seq = wantSeq;
    rec.tag.assign(line.substr(i + kSeqEnd.size(), close - i - kSeqEnd.size()));
    return close + 1 + kTimeShape.size();
}

// True when `line` is no more than the beginning of record `seq`'s prefix: what a copy cut
// inside that prefix leaves.
bool StartOfPrefix(std::string_view line, long seq) {
    std::string number = std::to_string(seq);
    size_t n = std::min(line.size(), number.size());
    if (line.substr(0, n) != std::string_view(number).substr(0, n)) return false;
    std::string_view rest = line.substr(n);
    if (rest.empty()) return true;
    if (rest.substr(0, kSeqEnd.size()) != kSeqEnd.substr(0, rest.size())) return false;
    if (rest.size() <= kSeqEnd.size()) return true;
    size_t close = rest.find(']', kSeqEnd.size());
    if (close == std::string_view::npos) return rest.size() <= kMaxTagSpan;
    if (close > kMaxTagSpan) return false;
    std::string_view time = rest.substr(close + 1);
    if (time.size() >= kTimeShape.size()) return false;
    for (size_t i = 0; i < time.size(); ++i) {
        if (!ShapeChar(kTimeShape[i], time[i])) return false;
    }
    return true;
}

// One line of the file without its line end (LF with any CRs before it); `ended` says whether it
// had one. CRs that end the file are a line end cut short.
std::string_view NextLine(std::string_view bytes, size_t& pos, bool& ended) {
    size_t end = bytes.find('\n', pos);
    ended = end != std::string_view::npos;
    std::string_view line = bytes.substr(pos, ended ? end - pos : std::string_view::npos);
    pos = ended ? end + 1 : bytes.size();
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// The record's message from its raw text; a last record is whole only when its last line ended
// and the caller tail is there.
void Finish(std::vector<LogRecord>& out, std::string& raw, bool last, bool ended) {
    if (out.empty()) return;
    LogRecord& rec = out.back();
    rec.message.assign(StripCallerTail(raw));
    rec.followed = !last;
    if (last) rec.whole = ended && rec.message.size() + 1 < raw.size();
    raw.clear();
}

}  // namespace

std::string_view StripCallerTail(std::string_view message) {
    if (!message.empty() && message.back() == '\n') message.remove_suffix(1);
    size_t tab = message.rfind(kTailStart);
    if (tab == std::string_view::npos) return message;
    std::string_view tail = message.substr(tab + 1);
    size_t at = tail.rfind(kTailLine);
    size_t digits = at + kTailLine.size();
    if (at == std::string_view::npos || !Digits(tail, digits, tail.size() - digits) ||
        tail.size() == digits) {
        return message;
    }
    return message.substr(0, tab);
}

long long LineEndCrs(std::string_view bytes) {
    long long n = 0;
    for (size_t lf = bytes.find('\n'); lf != std::string_view::npos;
         lf = bytes.find('\n', lf + 1)) {
        for (size_t at = lf; at > 0 && bytes[at - 1] == '\r'; --at) ++n;
    }
    return n;
}

std::vector<LogRecord> SplitRecords(std::string_view bytes) {
    std::vector<LogRecord> out;
    std::string raw;
    bool ended = true;
    for (size_t pos = 0; pos < bytes.size();) {
        std::string_view line = NextLine(bytes, pos, ended);
        LogRecord rec;
        long seq = static_cast<long>(out.size());
        size_t body = ParsePrefix(line, seq, rec);
        if (body != std::string_view::npos) {
            Finish(out, raw, false, true);
            out.push_back(std::move(rec));
            raw.assign(line.substr(body));
        } else if (!ended && StartOfPrefix(line, seq)) {
            ended = true;  // the record before ends where this cut prefix begins
            break;
        } else if (!out.empty()) {
            raw.append(line);
        }
        if (ended && !out.empty()) raw.push_back('\n');
    }
    Finish(out, raw, true, ended);
    return out;
}

}  // namespace yield
