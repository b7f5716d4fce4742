#include "yield_log_maker.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "traceLogFormat.h"

namespace benchutil {
namespace {

constexpr size_t kTimeLen = tracefmt::kRecordTimeLength;  // "YYYY-MM-DD HH:MM:SS"
// 100,000 runs end at 19:46 on 2026-02-16, a day of 1,924 runs with room for more before midnight:
// the live screen's day as the evening shift sees it.
constexpr long long kFirstStart = 1767571200;             // 2026-01-05 00:00:00 UTC
constexpr int kRunSpacing = 37;                           // seconds between made runs
constexpr int kHosts = 24;
constexpr char kDocStart[] = " ok:";
constexpr char kDocEnd[] = " !!!";
constexpr char kForgedDocHead[] = R"({"logDate":[{"name":"DO","info":[)";
constexpr char kForgedPort[] = R"({"port":1})";
constexpr size_t npos() { return std::string_view::npos; }

bool ParseTime(std::string_view s, char dateSep, char mid, char timeSep, long long& epoch) {
    if (s.size() < kTimeLen) return false;
    std::tm tm{};
    char a = 0, b = 0, c = 0, d = 0, e = 0;
    std::string text(s.substr(0, kTimeLen));
    if (std::sscanf(text.c_str(), "%4d%c%2d%c%2d%c%2d%c%2d%c%2d", &tm.tm_year, &a, &tm.tm_mon, &b,
                    &tm.tm_mday, &c, &tm.tm_hour, &d, &tm.tm_min, &e, &tm.tm_sec) != 11 ||
        a != dateSep || b != dateSep || c != mid || d != timeSep || e != timeSep) {
        return false;
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    epoch = static_cast<long long>(timegm(&tm));
    return true;
}

// "YYYY-MM-DD HH:MM:SS" (a log line's time) or, with `stamp`, "YYYY_MM_DD_HH_MM_SS".
std::string FormatTime(long long epoch, bool stamp) {
    std::time_t t = static_cast<std::time_t>(epoch);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    if (stamp) {
        std::strftime(buf, sizeof buf, tracefmt::kTimeStampFmt, &tm);
    } else {
        std::strftime(buf, sizeof buf, tracefmt::kRecordTimeFmt, &tm);
    }
    return buf;
}

// Where a record line's time starts ("N=[tag][" before it), or npos.
size_t TimeStart(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
    if (i == 0 || line.substr(i, 2) != tracefmt::kSeqEnd) return npos();
    size_t close = line.find("][", i + 2);
    if (close == std::string_view::npos || close + 2 + kTimeLen + 2 > line.size()) return npos();
    return close + 2;
}

// Replaces the message text after `key` up to the tab that ends the message.
std::string SetValue(std::string_view message, std::string_view key, const std::string& value) {
    size_t tab = message.find('\t');
    std::string out(key);
    out += value;
    if (tab != std::string_view::npos) out += message.substr(tab);
    return out;
}

// Replaces the JSON string value of `key` in the result document.
void SetJsonValue(std::string& message, const std::string& key, const std::string& value) {
    std::string head = "\"" + key + "\":\"";
    size_t at = message.find(head);
    if (at == std::string::npos) return;
    size_t from = at + head.size();
    size_t to = message.find('"', from);
    if (to != std::string::npos) message.replace(from, to - from, value);
}

// "...Test Succ Cnt A,Error Cnt B..." with new counts; false when the message is not a tally.
bool SetTally(std::string& message, int seed, int index, std::pair<int, int>& counts) {
    const std::string succKey = tracefmt::kTallySuccKey, errKey = tracefmt::kTallyErrKey;
    size_t s = message.find(succKey);
    if (s == std::string::npos) return false;
    size_t e = message.find(errKey, s);
    if (e == std::string::npos) return false;
    size_t sFrom = s + succKey.size(), eFrom = e + errKey.size();
    size_t eTo = eFrom;
    while (eTo < message.size() && std::isdigit(static_cast<unsigned char>(message[eTo]))) ++eTo;
    int succ = std::atoi(message.c_str() + sFrom);
    int err = std::atoi(message.c_str() + eFrom);
    // More cycles of the same kind: a port keeps passing, failing or both, as in the golden run.
    int more = (seed + index) % 4;
    counts = {succ > 0 ? succ + more : 0, err > 0 ? err + more : 0};
    message = message.substr(0, sFrom) + std::to_string(counts.first) + errKey +
              std::to_string(counts.second) + message.substr(eTo);
    return true;
}

}  // namespace

MadeLog MakeLog(std::string_view golden, const MadeIdentity& id) {
    MadeLog made;
    long long goldenStart = 0;
    const std::string dateTime = std::string("] ") + tracefmt::kDateTimeKey;
    size_t dt = golden.find(dateTime);
    if (dt != npos()) ParseTime(golden.substr(dt + dateTime.size()), '_', '_', '_', goldenStart);
    long long shift = goldenStart ? id.startEpoch - goldenStart : 0;
    made.timeStamp = FormatTime(id.startEpoch, true);
    made.text.reserve(golden.size() + 64);
    bool header = true;
    for (size_t pos = 0; pos < golden.size();) {
        size_t end = golden.find('\n', pos);
        end = end == npos() ? golden.size() : end + 1;
        std::string_view line = golden.substr(pos, end - pos);
        pos = end;
        size_t t = TimeStart(line);
        long long epoch = 0;
        if (t == npos() || !ParseTime(line.substr(t), '-', ' ', ':', epoch)) {
            made.text += line;
            continue;
        }
        std::string message(line.substr(t + kTimeLen + 2));
        if (header && message.rfind(tracefmt::kHostKey, 0) == 0) {
            message = SetValue(message, tracefmt::kHostKey, id.host);
        } else if (header && message.rfind(tracefmt::kDateTimeKey, 0) == 0) {
            message = SetValue(message, tracefmt::kDateTimeKey, made.timeStamp);
        } else if (header && message.rfind(tracefmt::kChipIdKey, 0) == 0) {
            message = SetValue(message, tracefmt::kChipIdKey, id.chipId);
            header = false;
        } else if (message.rfind(tracefmt::kResultDocStart, 0) == 0 &&
                   message.find(std::string(tracefmt::kResultDocMark) + "{") != npos()) {
            SetJsonValue(message, "DevType", id.host);
            SetJsonValue(message, "DateTime", made.timeStamp);
        } else {
            std::pair<int, int> counts;
            if (SetTally(message, id.tallySeed, static_cast<int>(made.tallies.size()), counts))
                made.tallies.push_back(counts);
        }
        made.text += line.substr(0, t);
        made.text += FormatTime(epoch + shift, false);
        made.text += line.substr(t + kTimeLen, 2);  // "] "
        made.text += message;
    }
    return made;
}

MadeIdentity NthIdentity(long long i, long long hosts) {
    MadeIdentity id;
    char buf[32];
    std::snprintf(buf, sizeof buf, "fixture-%02lld", i % std::max(hosts, 1LL) + 1);
    id.host = buf;
    long long board = i - (i % 10 == 9 ? 1 : 0);
    std::snprintf(buf, sizeof buf, "0x%08llX", 0x10000000LL + board);
    id.chipId = buf;
    id.startEpoch = kFirstStart + i * kRunSpacing;
    id.tallySeed = static_cast<int>(i % 1000);
    return id;
}

std::string ForgedPortsLog(std::string_view golden, long long ports) {
    std::string log(golden);
    size_t from = log.find(kDocStart);
    if (from == std::string::npos) return log;
    from += std::strlen(kDocStart);
    size_t to = log.find(kDocEnd, from);
    std::string doc = kForgedDocHead;
    doc.reserve(static_cast<size_t>(ports) * (sizeof kForgedPort) + 16);
    for (long long i = 0; i < ports; ++i) {
        if (i > 0) doc += ',';
        doc += kForgedPort;
    }
    doc += "]}]}";
    return log.replace(from, to - from, doc);
}

}  // namespace benchutil
