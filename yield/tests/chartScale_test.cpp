// The chart arithmetic: where values land, axis ticks, ISO weeks and the weekly yield chart.
#include "report/chartScale.h"

#include <gtest/gtest.h>

namespace yield {
namespace {

// The histogram's scale: hundredths of a volt, one 10-pixel bin per hundredth.
LinearScale HistogramScale(int lo, int hi) {
    return LinearScale(lo - 0.5, hi + 0.5, 50, 50 + 10.0 * (hi - lo + 1));
}

TEST(ChartScale, MapsValuesLinearlyAndReversedForUpwardAxes) {
    LinearScale x(0, 10, 100, 300);
    EXPECT_DOUBLE_EQ(x(0), 100);
    EXPECT_DOUBLE_EQ(x(10), 300);
    EXPECT_DOUBLE_EQ(x(2.5), 150);
    LinearScale y(0, 1, 200, 40);  // SVG y grows downwards
    EXPECT_DOUBLE_EQ(y(0.95), 48);
    EXPECT_DOUBLE_EQ(LinearScale(3, 3, 7, 70)(3), 7);  // one value: no division by zero
}

TEST(ChartScale, HistogramBarIsCentredOnItsValueAndLimitsSitOnTheirValues) {
    LinearScale x = HistogramScale(145, 175);
    double high = x(170), low = x(150);
    PixelSpan atHigh = BarSpan(x, 170, 1);
    EXPECT_DOUBLE_EQ((atHigh.from + atHigh.to) / 2, high);
    EXPECT_DOUBLE_EQ(atHigh.to - atHigh.from, 10);
    PixelSpan inside = BarSpan(x, 169, 1);
    EXPECT_LT(inside.to, high + 1e-9);
    EXPECT_GT(inside.from, low);
    PixelSpan above = BarSpan(x, 171, 1);
    EXPECT_GT(above.from, high - 1e-9);
    PixelSpan atLow = BarSpan(x, 150, 1);
    EXPECT_DOUBLE_EQ((atLow.from + atLow.to) / 2, low);
    // The first and last bins fill the plot from edge to edge.
    EXPECT_DOUBLE_EQ(BarSpan(x, 145, 1).from, 50);
    EXPECT_DOUBLE_EQ(BarSpan(x, 175, 1).to, 50 + 310);
}

TEST(ChartScale, CountTicksStartAtZeroReachTheMaximumInRoundSteps) {
    EXPECT_EQ(CountTicks(0, 4), (std::vector<long long>{0, 1}));
    EXPECT_EQ(CountTicks(7, 4), (std::vector<long long>{0, 2, 4, 6, 8}));
    EXPECT_EQ(CountTicks(95, 5), (std::vector<long long>{0, 20, 40, 60, 80, 100}));
    EXPECT_EQ(CountTicks(1000, 5), (std::vector<long long>{0, 200, 400, 600, 800, 1000}));
    for (long long max = 1; max < 5000; max += 37) {
        std::vector<long long> t = CountTicks(max, 5);
        ASSERT_GE(t.back(), max) << max;
        EXPECT_LE(t.size(), 6u) << max;
        EXPECT_LT(t[t.size() - 2], max) << max;  // no tick past the first one at the maximum
    }
}

std::vector<DayRow> Days(std::initializer_list<std::pair<const char*, long long>> passedOfTen) {
    std::vector<DayRow> days;
    for (const auto& [day, passed] : passedOfTen)
        days.push_back(DayRow{day, 10, passed, 1, passed / 10.0});
    return days;
}

TEST(ChartScale, YieldChartKeepsDaysUpToAMonthThenSumsIsoWeeks) {
    ChartPeriods month = YieldPeriods(Days({{"2026-11-01", 9}, {"2026-12-01", 10}}));
    EXPECT_FALSE(month.weekly);
    EXPECT_EQ(month.spanDays, 31);
    EXPECT_EQ(month.rows.size(), 2u);

    ChartPeriods weeks = YieldPeriods(Days({{"2026-10-31", 9},
                                            {"2026-11-30", 8},
                                            {"2026-12-02", 6},
                                            {"2026-12-06", 10},
                                            {"2026-12-07", 7}}));
    EXPECT_TRUE(weeks.weekly);
    EXPECT_EQ(weeks.spanDays, 38);
    ASSERT_EQ(weeks.rows.size(), 3u);
    EXPECT_EQ(weeks.rows[0].day, "2026-W44");
    EXPECT_EQ(weeks.rows[1].day, "2026-W49");
    EXPECT_EQ(weeks.rows[1].runs, 30);
    EXPECT_EQ(weeks.rows[1].passed, 24);
    EXPECT_EQ(weeks.rows[1].incomplete, 3);
    EXPECT_DOUBLE_EQ(weeks.rows[1].yield, 0.8);
    EXPECT_EQ(weeks.rows[2].day, "2026-W50");
}

TEST(ChartScale, WeeklyChartKeepsADayThatIsNoDateApartAndTheWeekWhole) {
    ChartPeriods p = YieldPeriods(
        Days({{"2026-10-01", 10}, {"2026-11-30", 5}, {"2026-11-31", 1}, {"2026-12-01", 5}}));
    ASSERT_EQ(p.rows.size(), 3u);
    EXPECT_EQ(p.rows[1].day, "2026-W49");
    EXPECT_EQ(p.rows[1].runs, 20);
    EXPECT_EQ(p.rows[2].day, "2026-11-31");
}

TEST(ChartScale, FailureRateClassesSetZeroFailuresApart) {
    EXPECT_EQ(FailureRateClass(0, 0), 0);
    EXPECT_EQ(FailureRateClass(40, 0), 0);
    EXPECT_EQ(FailureRateClass(1000, 1), 1);
    EXPECT_EQ(FailureRateClass(10, 1), 1);  // a bound belongs to the class below it
    EXPECT_EQ(FailureRateClass(100, 11), 2);
    EXPECT_EQ(FailureRateClass(4, 2), 3);
    EXPECT_EQ(FailureRateClass(4, 3), kFailureRateClasses - 1);
    EXPECT_EQ(FailureRateClass(1, 1), kFailureRateClasses - 1);
}

TEST(ChartScale, ShortLabelsEndInAnEllipsisAndKeepWholeCharacters) {
    EXPECT_EQ(ShortLabel("station-07", 20), "station-07");
    EXPECT_EQ(ShortLabel("abcde", 5), "abcde");
    EXPECT_EQ(ShortLabel("abcdef", 5), "abcd\xE2\x80\xA6");
    EXPECT_EQ(ShortLabel("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9\xE2\x80\xA6");  // é é é
    EXPECT_EQ(ShortLabel("x", 0), "");
}

}  // namespace
}  // namespace yield

namespace yield {
namespace {

// The heat map keeps the ports that failed anywhere, folds them by family past its width and
// keeps the families with the most failures past that.
TEST(ChartScale, HeatMapColumnsAreTheFailingPortsFoldedWhenTooMany) {
    std::vector<std::string> ports = {"DI-1", "DI-2", "DO-1", "RS232-1"};
    HeatColumns c = ChooseHeatColumns(ports, {0, 3, 0, 1}, 4);
    EXPECT_EQ(c.names, (std::vector<std::string>{"DI-2", "RS232-1"}));
    EXPECT_EQ(c.ofPort, (std::vector<int>{-1, 0, -1, 1}));
    EXPECT_EQ(c.hiddenPorts, 2u);
    EXPECT_FALSE(c.folded);

    std::vector<std::string> many;
    std::vector<long long> failures;
    for (int i = 1; i <= 120; ++i) {
        many.push_back("DI-" + std::to_string(i));
        failures.push_back(1);
    }
    many.push_back("USB-1");
    failures.push_back(5);
    c = ChooseHeatColumns(many, failures, 30);
    EXPECT_TRUE(c.folded);
    EXPECT_EQ(c.names, (std::vector<std::string>{"DI", "USB"}));
    c = ChooseHeatColumns(many, failures, 1);  // still too many: the most failures kept
    EXPECT_EQ(c.names, std::vector<std::string>{"DI"});
    EXPECT_EQ(c.leftOut, 1u);
}

TEST(ChartScale, ACaptionWidensItsChart) {
    EXPECT_DOUBLE_EQ(FitCaption(500, 4, "short"), 500);
    std::string longCaption(100, 'x');
    EXPECT_GE(FitCaption(200, 4, longCaption), 4 + 100 * kCaptionCharPx);
    EXPECT_EQ(LabelChars("\xE2\x80\xA6"
                         "ab"),
              3u);
}

TEST(ChartScale, YieldChartSumsMonthsPastHalfAYearAndKeepsTheLatestBars) {
    std::vector<DayRow> days;
    for (long long n = 0; n < 4LL * 365; ++n) days.push_back(DayRow{DayText(20000 + n), 10, 9});
    ChartPeriods years = YieldPeriods(days);
    EXPECT_TRUE(years.monthly);
    EXPECT_FALSE(years.weekly);
    ASSERT_EQ(years.rows.size(), kChartPeriods);
    EXPECT_EQ(years.earlier, 49u - kChartPeriods);  // 2024-10 to 2028-10: 49 months
    EXPECT_EQ(years.rows.back().day, DayText(20000 + 4LL * 365 - 1).substr(0, 7));
    days.resize(kDaysBeforeMonths);
    ChartPeriods half = YieldPeriods(days);
    EXPECT_TRUE(half.weekly);
    EXPECT_EQ(half.earlier, 0u);
}

}  // namespace
}  // namespace yield
