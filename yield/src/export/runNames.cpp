#include "export/runNames.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

#include "report/escape.h"

namespace yield {
namespace {

// Per part, before cleaning (one byte gives one character): with the hash and the separators
// well inside a file name's 255 bytes.
constexpr size_t kChipLength = 40;
constexpr size_t kStampLength = 40;
constexpr size_t kHostLength = 80;
constexpr char kSeparator[] = "_";
constexpr uint64_t kFnvOffset = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

// FNV-1a over the key's parts, each ended by a NUL so that no two keys give the same bytes.
uint64_t KeyHash(const RunRecord& run) {
    uint64_t h = kFnvOffset;
    for (const std::string* part : {&run.chipId, &run.timeStamp, &run.host}) {
        for (unsigned char c : *part) h = (h ^ c) * kFnvPrime;
        h *= kFnvPrime;  // the part's end
    }
    return h;
}

std::string Hex(uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

constexpr char kLogTimeScan[] = "%4d-%2d-%2d %2d:%2d:%2d%n";
constexpr size_t kLogTimeLength = 19;
constexpr long kSecondsPerMinute = 60;
constexpr long kSecondsPerHour = 3600;

// A log time's fields; false when it is no "YYYY-MM-DD HH:MM:SS".
bool WallClock(const std::string& logTime, std::tm& wall) {
    wall = std::tm{};
    int used = 0;
    if (logTime.size() != kLogTimeLength ||
        std::sscanf(logTime.c_str(), kLogTimeScan, &wall.tm_year, &wall.tm_mon, &wall.tm_mday,
                    &wall.tm_hour, &wall.tm_min, &wall.tm_sec, &used) != 6 ||
        used != static_cast<int>(kLogTimeLength))
        return false;
    wall.tm_year -= 1900;
    wall.tm_mon -= 1;
    return true;
}

bool SameWallClock(const std::tm& a, const std::tm& b) {
    return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday &&
           a.tm_hour == b.tm_hour && a.tm_min == b.tm_min && a.tm_sec == b.tm_sec;
}

// A log time as an instant, with the UTC offset that gives that instant from the log's own text.
struct Reading {
    std::time_t when;
    long offset;
};

// The instants this host's zone (TZ) can mean by a log time: two in the hour a clock change
// repeats (summer time first), none for a text that is no time. A time in the hour the spring
// change skips is read as the clock before the change would have read it.
std::vector<Reading> Readings(const std::string& logTime) {
    std::tm wall{};
    if (!WallClock(logTime, wall)) return {};
    std::tm asUtc = wall;
    const std::time_t wallSeconds = timegm(&asUtc);
    std::vector<Reading> out;
    std::optional<Reading> standard;
    for (int dst : {1, 0}) {
        std::tm tm = wall;
        tm.tm_isdst = dst;
        std::time_t when = std::mktime(&tm);
        std::tm back{};
        if (when == static_cast<std::time_t>(-1) || localtime_r(&when, &back) == nullptr) continue;
        Reading r{when, static_cast<long>(wallSeconds - when)};
        if (dst == 0) standard = r;
        bool seen = !out.empty() && out.back().when == when;
        if (SameWallClock(back, wall) && !seen) out.push_back(r);
    }
    if (out.empty() && standard) out.push_back(*standard);
    return out;
}

// "+HH:MM" or "-HH:MM".
std::string Offset(long seconds) {
    char sign = seconds < 0 ? '-' : '+';
    long a = seconds < 0 ? -seconds : seconds;
    char text[48];
    std::snprintf(text, sizeof text, "%c%02ld:%02ld", sign, a / kSecondsPerHour,
                  a % kSecondsPerHour / kSecondsPerMinute);
    return text;
}

std::string Part(const std::string& text, size_t length) {
    return SafeFileName(std::string_view(text).substr(0, length));
}

}  // namespace

std::string IsoTime(const std::string& logTime) {
    std::string iso = logTime;
    if (iso.size() == 19 && iso[10] == ' ') iso[10] = 'T';
    return iso;
}

std::string IsoTimeWithZone(const std::string& logTime) {
    std::vector<Reading> r = Readings(logTime);
    return r.empty() ? IsoTime(logTime) : IsoTime(logTime) + Offset(r.front().offset);
}

RunSpan RunSpanOf(const RunRecord& run) {
    RunSpan span{IsoTimeWithZone(run.startedAt), IsoTimeWithZone(run.endedAt), 0};
    // Of the readings a repeated hour allows, the pair where the run ends at or after its start
    // and lasts least: a run takes minutes, and its log runs forward.
    const Reading* bestStart = nullptr;
    const Reading* bestEnd = nullptr;
    std::vector<Reading> starts = Readings(run.startedAt), ends = Readings(run.endedAt);
    for (const Reading& s : starts)
        for (const Reading& e : ends)
            if (e.when >= s.when &&
                (bestStart == nullptr || e.when - s.when < bestEnd->when - bestStart->when)) {
                bestStart = &s;
                bestEnd = &e;
            }
    if (bestStart == nullptr) return span;
    span.start = IsoTime(run.startedAt) + Offset(bestStart->offset);
    span.end = IsoTime(run.endedAt) + Offset(bestEnd->offset);
    span.seconds = std::difftime(bestEnd->when, bestStart->when);
    return span;
}

std::string ExportStem(const RunRecord& run) {
    return Part(run.chipId, kChipLength) + kSeparator + Part(run.timeStamp, kStampLength) +
           kSeparator + Part(run.host, kHostLength) + kSeparator + Hex(KeyHash(run));
}

}  // namespace yield
