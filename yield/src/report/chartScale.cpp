#include "report/chartScale.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace yield {
namespace {

constexpr char kEllipsis[] = "\xE2\x80\xA6";  // U+2026
constexpr long long kTickSteps[] = {1, 2, 5};
constexpr size_t kMonthChars = 7;  // "2026-12" of "2026-12-08"

double Share(long long part, long long whole) {
    return whole > 0 ? static_cast<double>(part) / static_cast<double>(whole) : 0;
}

void AddDay(DayRow& into, const DayRow& day) {
    into.runs += day.runs;
    into.passed += day.passed;
    into.incomplete += day.incomplete;
    into.yield = Share(into.passed, into.runs);
    into.boards += day.boards;
    into.firstPassed += day.firstPassed;
    into.finalPassed += day.finalPassed;
    into.firstPassYield = Share(into.firstPassed, into.boards);
    into.finalYield = Share(into.finalPassed, into.boards);
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

// "2026-12" of a calendar date; "" for a day that is none.
std::string MonthOf(const std::string& day) {
    return IsDay(day) ? day.substr(0, kMonthChars) : std::string();
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
    p.monthly = p.spanDays > kDaysBeforeMonths;
    p.weekly = !p.monthly && p.spanDays > kDaysBeforeWeeks;
    if (!p.weekly && !p.monthly) {
        p.rows = days;
    } else {
        std::map<std::string, size_t> rowOf;
        for (const DayRow& d : days) {
            std::string period = p.monthly ? MonthOf(d.day) : IsoWeek(d.day);
            std::string key = period.empty() ? d.day : period;  // a day that is no date: alone
            auto [at, added] = rowOf.emplace(key, p.rows.size());
            if (added) p.rows.push_back(DayRow{key, 0, 0, 0, 0});
            AddDay(p.rows[at->second], d);
        }
    }
    if (p.rows.size() > kChartPeriods) {
        p.earlier = p.rows.size() - kChartPeriods;
        p.rows.erase(p.rows.begin(), p.rows.begin() + static_cast<std::ptrdiff_t>(p.earlier));
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

size_t LabelChars(const std::string& text) {
    size_t n = 0;
    for (unsigned char c : text) n += (c & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

double FitCaption(double width, double x, const std::string& caption) {
    return std::max(width,
                    x + kCaptionCharPx * static_cast<double>(LabelChars(caption)) + kCaptionMargin);
}

std::string PortFamily(const std::string& port) {
    size_t dash = port.rfind('-');
    return dash == std::string::npos || dash == 0 ? port : port.substr(0, dash);
}

HeatColumns ChooseHeatColumns(const std::vector<std::string>& ports,
                              const std::vector<long long>& failures, size_t most) {
    HeatColumns c;
    c.ofPort.assign(ports.size(), -1);
    std::vector<size_t> failing;
    for (size_t p = 0; p < ports.size(); ++p)
        if (failures[p] > 0) failing.push_back(p);
    c.hiddenPorts = ports.size() - failing.size();
    c.folded = failing.size() > most;
    std::map<std::string, long long> byName;  // column name -> failures
    for (size_t p : failing) byName[c.folded ? PortFamily(ports[p]) : ports[p]] += failures[p];
    // The columns kept: all of them, or the `most` with the most failures.
    std::vector<std::pair<std::string, long long>> kept(byName.begin(), byName.end());
    std::stable_sort(kept.begin(), kept.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    c.leftOut = kept.size() > most ? kept.size() - most : 0;
    kept.resize(std::min(kept.size(), most));
    std::map<std::string, int> columnOf;
    for (size_t p : failing) {  // the ports' own (family) order
        std::string name = c.folded ? PortFamily(ports[p]) : ports[p];
        auto isKept = [&name](const auto& k) { return k.first == name; };
        if (std::none_of(kept.begin(), kept.end(), isKept)) continue;
        auto [at, added] = columnOf.emplace(name, static_cast<int>(c.names.size()));
        if (added) c.names.push_back(name);
        c.ofPort[p] = at->second;
    }
    return c;
}

}  // namespace yield
