#include "report/reportSelection.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "parse/calendar.h"

namespace yield {
namespace {

constexpr char kSelection[] = "Selection";
constexpr char kDaysPresent[] = "Days present";
constexpr char kTrends[] = "Trends";
constexpr char kMadeAt[] = "Made at";
constexpr char kClockUnset[] = "Unset clocks";
constexpr char kClockUnsetRuns[] =
    " runs stamped far from when their file arrived, counted on that day (listed below)";
constexpr char kDatabase[] = "Database";
constexpr char kAllRuns[] = "all runs";
constexpr char kDaysFrom[] = "days from ";
constexpr char kDaysUntil[] = "days until ";
constexpr char kDaysTo[] = " to ";
constexpr char kStationFilter[] = ", station ";
constexpr char kHostFilter[] = ", host ";
constexpr char kNoDays[] = "none";
constexpr char kTrendsPerDay[] = "per day";
constexpr char kTrendsPerWeek[] = "per ISO week (the days present span more than 31 days)";
constexpr char kUriSchemes[][16] = {"postgresql://", "postgres://"};
constexpr char kPasswordParameter[] = "password=";
constexpr char kServerOpen[] = " (";
constexpr char kServerClose[] = ")";
// 9999-12-31T23:59:59Z: the last time a four-digit year writes.
constexpr long long kLastEpoch = 253402300799;

std::string Days(const std::string& since, const std::string& until) {
    if (since.empty() && until.empty()) return kAllRuns;
    if (until.empty()) return kDaysFrom + since;
    if (since.empty()) return kDaysUntil + until;
    return std::string("days ") + since + kDaysTo + until;
}

// `uri` without the password of its user part.
std::string WithoutUserPassword(std::string uri, size_t hostStart) {
    size_t end = uri.find_first_of("/?#", hostStart);
    size_t at = uri.rfind('@', end == std::string::npos ? uri.size() : end);
    if (at == std::string::npos || at < hostStart) return uri;
    size_t colon = uri.find(':', hostStart);
    if (colon != std::string::npos && colon < at) uri.erase(colon, at - colon);
    return uri;
}

// `uri` without its password= parameters.
std::string WithoutPasswordParameter(const std::string& uri) {
    size_t query = uri.find('?');
    if (query == std::string::npos) return uri;
    size_t fragment = uri.find('#', query);
    std::string params = uri.substr(
        query + 1, fragment == std::string::npos ? std::string::npos : fragment - query - 1);
    std::string kept;
    for (size_t at = 0; at <= params.size();) {
        size_t amp = params.find('&', at);
        if (amp == std::string::npos) amp = params.size();
        std::string one = params.substr(at, amp - at);
        if (!one.empty() &&
            one.compare(0, std::strlen(kPasswordParameter), kPasswordParameter) != 0)
            kept += (kept.empty() ? "" : "&") + one;
        at = amp + 1;
    }
    std::string out = uri.substr(0, query) + (kept.empty() ? "" : "?" + kept);
    return fragment == std::string::npos ? out : out + uri.substr(fragment);
}

}  // namespace

bool ParseDays(const std::string& text, int& n) {
    constexpr size_t kMostDigits = 5;
    if (text.empty() || text.size() > kMostDigits ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    n = std::stoi(text);
    return n >= 1 && n <= kMostDays;
}

std::pair<std::string, std::string> RecentDays(const std::string& today, int n) {
    long long number = 0;
    if (!DayNumber(today, number)) return {today, today};
    return {DayText(number - (n - 1)), today};
}

std::string LocalDay(std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    return buf;
}

std::string UtcStamp(std::time_t when) {
    std::tm tm{};
    gmtime_r(&when, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

bool MadeAt(const char* epoch, std::time_t now, std::time_t& when) {
    if (epoch == nullptr) {
        when = now;
        return true;
    }
    char* end = nullptr;
    errno = 0;
    long long seconds = std::strtoll(epoch, &end, 10);
    if (*epoch == '\0' || *end != '\0' || errno != 0 || seconds < 0 || seconds > kLastEpoch)
        return false;
    when = static_cast<std::time_t>(seconds);
    return true;
}

std::string DatabaseForPeople(const std::string& db, const std::string& server) {
    std::string shown = db;
    for (const char* scheme : kUriSchemes) {
        std::string s(scheme);
        if (db.compare(0, s.size(), s) == 0)
            shown = WithoutPasswordParameter(WithoutUserPassword(db, s.size()));
    }
    return server.empty() ? shown : shown + kServerOpen + server + kServerClose;
}

std::vector<std::pair<std::string, std::string>> SelectionLines(const Selection& s) {
    std::string asked = Days(s.since, s.until);
    if (!s.station.empty()) asked += kStationFilter + s.station;
    if (!s.host.empty()) asked += kHostFilter + s.host;
    std::string present = s.firstDay.empty() ? kNoDays : s.firstDay + kDaysTo + s.lastDay;
    std::vector<std::pair<std::string, std::string>> lines = {
        {kSelection, asked},
        {kDaysPresent, present},
        {kTrends, s.trendPeriod == kPeriodWeek ? kTrendsPerWeek : kTrendsPerDay}};
    if (s.clockUnsetRuns > 0)
        lines.emplace_back(kClockUnset, std::to_string(s.clockUnsetRuns) + kClockUnsetRuns);
    lines.emplace_back(kMadeAt, s.madeAt);
    lines.emplace_back(kDatabase, s.database);
    return lines;
}

}  // namespace yield
