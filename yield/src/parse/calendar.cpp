#include "parse/calendar.h"

#include <cstdio>

#include "traceLogFormat.h"

namespace yield {
namespace {

constexpr int kIsoThursday = 4;
constexpr int kHoursInDay = 24;
constexpr int kMinutesInHour = 60;
constexpr int kSecondsInMinute = 60;  // a leap second is not a board's
constexpr size_t kStampLength = 19;   // "2026_12_07_10_43_33"
constexpr int kYearDigits = 4;        // %Y; every other field of the layout has two

// The numeric fields of a stamp read with the layout, in its order, up to the first one the
// stamp does not give.
struct StampFields {
    long long year = -1, month = -1, day = -1, hour = -1, minute = -1, second = -1;
};

long long* FieldOf(StampFields& f, char letter) {
    switch (letter) {
        case 'Y':
            return &f.year;
        case 'm':
            return &f.month;
        case 'd':
            return &f.day;
        case 'H':
            return &f.hour;
        case 'M':
            return &f.minute;
        case 'S':
            return &f.second;
        default:
            return nullptr;  // read, not kept
    }
}

bool ReadNumber(const std::string& text, size_t& at, int digits, long long& value) {
    value = 0;
    for (int i = 0; i < digits; ++i, ++at) {
        if (at >= text.size() || text[at] < '0' || text[at] > '9') return false;
        value = value * 10 + (text[at] - '0');
    }
    return true;
}

StampFields ReadStamp(const std::string& stamp) {
    StampFields f;
    size_t at = 0;
    for (const char* l = tracefmt::kTimeStampFmt; *l != '\0'; ++l) {
        if (*l != '%') {
            if (at >= stamp.size() || stamp[at] != *l) break;
            ++at;
            continue;
        }
        if (*++l == '\0') break;
        long long value = 0;
        if (!ReadNumber(stamp, at, *l == 'Y' ? kYearDigits : 2, value)) break;
        if (long long* field = FieldOf(f, *l)) *field = value;
    }
    return f;
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's days_from_civil
// and civil_from_days).
long long FromCivil(long long y, long long m, long long d) {
    y -= m <= 2 ? 1 : 0;
    long long era = (y >= 0 ? y : y - 399) / 400;
    long long yoe = y - era * 400;
    long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void ToCivil(long long z, long long& y, long long& m, long long& d) {
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

int DaysInMonth(long long y, long long m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

bool ParseDay(const std::string& day, long long& y, long long& m, long long& d) {
    if (day.size() != 10 || day[4] != '-' || day[7] != '-') return false;
    long long parts[3] = {0, 0, 0};
    int part = 0;
    for (size_t i = 0; i < day.size(); ++i) {
        if (i == 4 || i == 7) {
            ++part;
            continue;
        }
        if (day[i] < '0' || day[i] > '9') return false;
        parts[part] = parts[part] * 10 + (day[i] - '0');
    }
    y = parts[0];
    m = parts[1];
    d = parts[2];
    return m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m);
}

// Monday 1 .. Sunday 7; 1970-01-01 was a Thursday.
int IsoWeekday(long long number) { return static_cast<int>(((number + 3) % 7 + 7) % 7) + 1; }

}  // namespace

bool IsDay(const std::string& day) {
    long long y = 0, m = 0, d = 0;
    return ParseDay(day, y, m, d);
}

bool DayNumber(const std::string& day, long long& number) {
    long long y = 0, m = 0, d = 0;
    if (!ParseDay(day, y, m, d)) return false;
    number = FromCivil(y, m, d);
    return true;
}

std::string DayText(long long number) {
    long long y = 0, m = 0, d = 0;
    ToCivil(number, y, m, d);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", y, m, d);
    return text;
}

std::string IsoWeek(const std::string& day) {
    long long n = 0;
    if (!DayNumber(day, n)) return "";
    // The week belongs to the year its Thursday falls in.
    long long thursday = n - IsoWeekday(n) + kIsoThursday;
    long long year = 0, m = 0, d = 0;
    ToCivil(thursday, year, m, d);
    long long week = (thursday - FromCivil(year, 1, 1)) / 7 + 1;
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-W%02lld", year, week);
    return text;
}

long long DaySpan(const std::string& first, const std::string& last) {
    long long a = 0, b = 0;
    if (!DayNumber(first, a) || !DayNumber(last, b)) return 0;
    return b - a + 1;
}

std::string StampDay(const std::string& stamp) {
    StampFields f = ReadStamp(stamp);
    if (f.day < 0) return "";
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", f.year, f.month, f.day);
    return IsDay(text) ? text : "";
}

bool IsStampDay(const std::string& day, const std::string& stamp) {
    constexpr size_t kDayChars = 10;  // YYYY-MM-DD, and YYYY_MM_DD at the stamp's start
    bool sameChars = day.size() == kDayChars && stamp.size() >= kDayChars &&
                     (stamp.size() == kDayChars || stamp[kDayChars] == '_');
    for (size_t i = 0; sameChars && i < kDayChars; ++i) {
        bool dash = i == 4 || i == 7;
        sameChars = dash ? day[i] == '-' && stamp[i] == '_'
                         : day[i] == stamp[i] && day[i] >= '0' && day[i] <= '9';
    }
    if (sameChars) return IsDay(day);
    return !day.empty() && day == StampDay(stamp);
}

bool StampClock(const std::string& stamp, std::tm& clock) {
    StampFields f = ReadStamp(stamp);
    if (f.second < 0 || StampDay(stamp).empty() || f.hour >= kHoursInDay || f.minute > 59 ||
        f.second > 60)
        return false;
    clock = std::tm{};
    clock.tm_year = static_cast<int>(f.year - 1900);
    clock.tm_mon = static_cast<int>(f.month - 1);
    clock.tm_mday = static_cast<int>(f.day);
    clock.tm_hour = static_cast<int>(f.hour);
    clock.tm_min = static_cast<int>(f.minute);
    clock.tm_sec = static_cast<int>(f.second);
    clock.tm_isdst = -1;
    return true;
}

std::string StampIso(const std::string& stamp) {
    StampFields f = ReadStamp(stamp);
    std::string day = StampDay(stamp);
    if (day.empty() || f.second < 0 || f.hour >= kHoursInDay || f.minute >= kMinutesInHour ||
        f.second >= kSecondsInMinute || stamp.size() != kStampLength)
        return "";
    char text[64];
    std::snprintf(text, sizeof text, "%sT%02lld:%02lld:%02lld", day.c_str(), f.hour, f.minute,
                  f.second);
    return text;
}

int StampHour(const std::string& stamp) {
    StampFields f = ReadStamp(stamp);
    return f.hour >= 0 && f.hour < kHoursInDay ? static_cast<int>(f.hour) : -1;
}

}  // namespace yield
