#include "report/chartScale.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace yield {
namespace {

constexpr char kEllipsis[] = "\xE2\x80\xA6";  // U+2026
constexpr long long kTickSteps[] = {1, 2, 5};

void AddDay(DayRow& into, const DayRow& day) {
    into.runs += day.runs;
    into.passed += day.passed;
    into.incomplete += day.incomplete;
    into.yield = into.runs > 0 ? static_cast<double>(into.passed) / into.runs : 0;
}

long long SpanDays(const std::vector<DayRow>& days) {
    long long first = 0, last = 0, n = 0;
    bool any = false;
    for (const DayRow& d : days) {
        if (!DayNumber(d.day, n)) continue;
        first = any ? std::min(first, n) : n;
        last = any ? std::max(last, n) : n;
        any = true;
    }
    return any ? last - first + 1 : 0;
}

}  // namespace

LinearScale::LinearScale(double lo, double hi, double pixelLo, double pixelHi)
    : lo_(lo), hi_(hi), pixelLo_(pixelLo), pixelHi_(pixelHi) {}

double LinearScale::operator()(double value) const {
    if (hi_ == lo_) return pixelLo_;
    return pixelLo_ + (value - lo_) * (pixelHi_ - pixelLo_) / (hi_ - lo_);
}

PixelSpan BarSpan(const LinearScale& x, double value, double binWidth) {
    return PixelSpan{x(value - binWidth / 2), x(value + binWidth / 2)};
}

std::vector<long long> CountTicks(long long max, int most) {
    max = std::max(max, 1LL);
    most = std::max(most, 1);
    long long step = 1;
    for (long long power = 1;; power *= 10) {
        bool found = false;
        for (long long s : kTickSteps) {
            step = s * power;
            if ((max + step - 1) / step <= most) {
                found = true;
                break;
            }
        }
        if (found) break;
    }
    std::vector<long long> ticks;
    for (long long t = 0; t < max + step; t += step) {
        ticks.push_back(t);
        if (t >= max) break;
    }
    return ticks;
}

ChartPeriods YieldPeriods(const std::vector<DayRow>& days) {
    ChartPeriods p;
    p.spanDays = SpanDays(days);
    p.weekly = p.spanDays > kDaysBeforeWeeks;
    if (!p.weekly) {
        p.rows = days;
        return p;
    }
    std::map<std::string, size_t> rowOf;
    for (const DayRow& d : days) {
        std::string week = IsoWeek(d.day);
        std::string key = week.empty() ? d.day : week;  // a day that is no date stays alone
        auto [at, added] = rowOf.emplace(key, p.rows.size());
        if (added) p.rows.push_back(DayRow{key, 0, 0, 0, 0});
        AddDay(p.rows[at->second], d);
    }
    return p;
}

int FailureRateClass(long long runs, long long failures) {
    if (failures <= 0 || runs <= 0) return 0;
    double rate = static_cast<double>(failures) / runs;
    int c = 1;
    for (double bound : kFailureRateBounds) {
        if (rate <= bound) return c;
        ++c;
    }
    return c;
}

std::string ShortLabel(const std::string& label, size_t chars) {
    if (chars == 0) return "";
    size_t count = 0, cut = label.size();
    for (size_t i = 0; i < label.size(); ++i) {
        if ((static_cast<unsigned char>(label[i]) & 0xC0) == 0x80) continue;  // continuation
        if (count == chars - 1) cut = i;
        if (++count > chars) return label.substr(0, cut) + kEllipsis;
    }
    return label;
}

}  // namespace yield
