#include "runNames.h"

#include <cstdint>
#include <cstdio>
#include <ctime>

#include "escape.h"

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

// A log time read as this host's local time; false when it is no "YYYY-MM-DD HH:MM:SS".
bool LocalTime(const std::string& logTime, std::tm& tm, std::time_t& when) {
    tm = std::tm{};
    int used = 0;
    if (logTime.size() != kLogTimeLength ||
        std::sscanf(logTime.c_str(), kLogTimeScan, &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &used) != 6 ||
        used != static_cast<int>(kLogTimeLength))
        return false;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;  // the zone's rules say whether summer time applies
    when = std::mktime(&tm);
    return when != static_cast<std::time_t>(-1);
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
    std::tm tm{};
    std::time_t when = 0;
    if (!LocalTime(logTime, tm, when)) return IsoTime(logTime);
    return IsoTime(logTime) + Offset(tm.tm_gmtoff);
}

double RunSeconds(const RunRecord& run) {
    std::tm tm{};
    std::time_t start = 0, end = 0;
    if (!LocalTime(run.startedAt, tm, start) || !LocalTime(run.endedAt, tm, end)) return 0;
    double seconds = std::difftime(end, start);
    return seconds > 0 ? seconds : 0;
}

std::string ExportStem(const RunRecord& run) {
    return Part(run.chipId, kChipLength) + kSeparator + Part(run.timeStamp, kStampLength) +
           kSeparator + Part(run.host, kHostLength) + kSeparator + Hex(KeyHash(run));
}

}  // namespace yield
