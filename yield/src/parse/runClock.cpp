#include "parse/runClock.h"

#include <time.h>

#include "traceLogFormat.h"

namespace yield {
namespace {

constexpr long long kNanosPerSecond = 1000000000LL;
constexpr char kDayFormat[] = "%Y-%m-%d";

// The stamp as a time (local, as the board writes it); false when it gives none.
bool StampTime(const std::string& stamp, std::time_t& when) {
    std::tm tm{};
    const char* end = strptime(stamp.c_str(), tracefmt::kTimeStampFmt, &tm);
    if (end == nullptr || *end != '\0') return false;
    tm.tm_isdst = -1;
    when = std::mktime(&tm);
    return true;
}

std::time_t Earliest() {
    std::time_t when = 0;
    StampTime(kEarliestStamp, when);
    return when;
}

std::string LocalDayOf(std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, kDayFormat, &tm);
    return buf;
}

}  // namespace

std::time_t ArrivalTime(long long mtimeNs, std::time_t now) {
    auto changed = static_cast<std::time_t>(mtimeNs / kNanosPerSecond);
    bool plausible = changed >= Earliest() && changed <= now + kClockSlackSeconds;
    return plausible ? changed : now;
}

bool StampIsUnset(const std::string& stamp, std::time_t arrival) {
    std::time_t when = 0;
    if (!StampTime(stamp, when)) return false;
    return when < Earliest() || when > arrival + kClockSlackSeconds;
}

void MarkUnsetClock(RunRecord& run, long long mtimeNs, std::time_t now) {
    std::time_t arrival = ArrivalTime(mtimeNs, now);
    run.clockUnset = !run.Day().empty() && StampIsUnset(run.timeStamp, arrival);
    run.arrivalDay = run.clockUnset ? LocalDayOf(arrival) : std::string();
}

std::string StampOf(std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    char buf[64];
    std::strftime(buf, sizeof buf, tracefmt::kTimeStampFmt, &tm);
    return buf;
}

}  // namespace yield
