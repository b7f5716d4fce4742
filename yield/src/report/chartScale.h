// The arithmetic of the HTML report's charts: where a value lands on an axis, the ticks of an
// axis, the periods the yield chart groups runs into, the heat map's colour classes, and how a
// long label is cut. Pure: no output.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "parse/calendar.h"
#include "report/reportModel.h"

namespace yield {

// A linear map from values to pixels: `lo` lands on `pixelLo`, `hi` on `pixelHi`.
class LinearScale {
public:
    LinearScale(double lo, double hi, double pixelLo, double pixelHi);
    double operator()(double value) const;

private:
    double lo_, hi_, pixelLo_, pixelHi_;
};

struct PixelSpan {
    double from = 0;
    double to = 0;
};

// A histogram bar for `value` covering `binWidth` values: centred on where `value` lands.
PixelSpan BarSpan(const LinearScale& x, double value, double binWidth);

// Ticks of a count axis: 0 up to the first tick at or past `max`, in steps of 1, 2 or 5 times a
// power of ten, at most `most` steps.
std::vector<long long> CountTicks(long long max, int most);

// The yield chart's bars: the days as they are; when they span more than kDaysBeforeWeeks days,
// one row per ISO week (its day "2026-W49"); past kDaysBeforeMonths days, one per month
// ("2026-12"); each with its runs summed. At most the latest kChartPeriods, so that a year or
// ten stay readable from across the line; the earlier ones are counted.
constexpr long long kDaysBeforeMonths = 26LL * 7;  // half a year of weeks
constexpr size_t kChartPeriods = 36;
struct ChartPeriods {
    std::vector<DayRow> rows;
    bool weekly = false;
    bool monthly = false;
    long long spanDays = 0;  // from the first to the last calendar day, both counted
    size_t earlier = 0;      // periods before the rows, left out
};
ChartPeriods YieldPeriods(const std::vector<DayRow>& days);

// The heat map's colour classes: 0 for a cell without failures, then one class per bound of
// kFailureRateBounds the rate is at most (rates above the last bound in the last class).
constexpr double kFailureRateBounds[] = {0.10, 0.25, 0.50};
constexpr int kFailureRateClasses = 2 + sizeof kFailureRateBounds / sizeof kFailureRateBounds[0];
int FailureRateClass(long long runs, long long failures);

// How many characters (UTF-8) `text` holds.
size_t LabelChars(const std::string& text);
// A chart's width, widened when its caption at `x` would not fit: a caption never overflows its
// SVG. The width of a character is taken generously for the charts' font.
constexpr double kCaptionCharPx = 7;
constexpr double kCaptionMargin = 12;
double FitCaption(double width, double x, const std::string& caption);

// The heat map's columns: only the ports that failed anywhere; when they are more than `most`,
// one column per family ("DI" for DI-1..DI-8); when still too many, the `most` with the most
// failures, the rest counted as left out. So the map's width is bounded whatever the ports.
struct HeatColumns {
    std::vector<std::string> names;
    std::vector<int> ofPort;  // each port's column; -1: not shown
    bool folded = false;      // columns are families
    size_t hiddenPorts = 0;   // ports without a failure anywhere
    size_t leftOut = 0;       // columns with failures beyond `most`
};
// `failures`: each port's failures over every station, in `ports` order.
HeatColumns ChooseHeatColumns(const std::vector<std::string>& ports,
                              const std::vector<long long>& failures, size_t most);
// A port's family: its name before the last dash ("RS232" of "RS232-1").
std::string PortFamily(const std::string& port);

// `label` cut to at most `chars` characters (UTF-8), the last of them an ellipsis when cut.
std::string ShortLabel(const std::string& label, size_t chars);

}  // namespace yield
