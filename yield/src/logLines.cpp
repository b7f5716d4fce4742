#include "logLines.h"

#include <cctype>

namespace yield {
namespace {

bool Digits(std::string_view s, size_t at, size_t n) {
    if (at + n > s.size()) return false;
    for (size_t i = at; i < at + n; ++i) {
        if (!isdigit(static_cast<unsigned char>(s[i]))) return false;
    }
    return true;
}

// "[YYYY-MM-DD HH:MM:SS] " at `at`; true and the time text when it is there.
bool TimeField(std::string_view line, size_t at, std::string& time) {
    static constexpr std::string_view kShape = "[0000-00-00 00:00:00] ";
    if (at + kShape.size() > line.size()) return false;
    for (size_t i = 0; i < kShape.size(); ++i) {
        char want = kShape[i];
        char got = line[at + i];
        if (want == '0' ? !isdigit(static_cast<unsigned char>(got)) : got != want) return false;
    }
    time.assign(line.substr(at + 1, kShape.size() - 3));
    return true;
}

// Parses the record prefix; returns the offset of the message or npos.
size_t ParsePrefix(std::string_view line, long wantSeq, LogRecord& rec) {
    size_t i = 0;
    while (i < line.size() && i < 12 && isdigit(static_cast<unsigned char>(line[i]))) ++i;
    if (i == 0 || i >= 12 || (i > 1 && line[0] == '0')) return std::string_view::npos;
    if (std::stol(std::string(line.substr(0, i))) != wantSeq) return std::string_view::npos;
    if (line.substr(i, 2) != "=[") return std::string_view::npos;
    size_t close = line.find(']', i + 2);
    if (close == std::string_view::npos || close - i > 66) return std::string_view::npos;
    if (!TimeField(line, close + 1, rec.time)) return std::string_view::npos;
    rec.seq = wantSeq;
    rec.tag.assign(line.substr(i + 2, close - i - 2));
    return close + 23;
}

void Finish(std::vector<LogRecord>& out, std::string& raw) {
    if (out.empty()) return;
    out.back().message.assign(StripCallerTail(raw));
    raw.clear();
}

}  // namespace

std::string_view StripCallerTail(std::string_view message) {
    if (!message.empty() && message.back() == '\n') message.remove_suffix(1);
    size_t tab = message.rfind('\t');
    if (tab == std::string_view::npos) return message;
    std::string_view tail = message.substr(tab + 1);
    size_t at = tail.rfind(" line=");
    if (at == std::string_view::npos || !Digits(tail, at + 6, tail.size() - at - 6) ||
        tail.size() == at + 6) {
        return message;
    }
    return message.substr(0, tab);
}

std::vector<LogRecord> SplitRecords(std::string_view bytes) {
    std::vector<LogRecord> out;
    std::string raw;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
        std::string_view line = bytes.substr(pos, next - pos);
        LogRecord rec;
        size_t body = ParsePrefix(line, static_cast<long>(out.size()), rec);
        if (body != std::string_view::npos) {
            Finish(out, raw);
            out.push_back(std::move(rec));
            raw.assign(line.substr(body));
        } else if (!out.empty()) {
            raw.append(line);
        }
        pos = next;
    }
    Finish(out, raw);
    return out;
}

}  // namespace yield
