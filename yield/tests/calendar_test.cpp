#include "parse/calendar.h"

#include <gtest/gtest.h>

#include <ctime>

#include "traceLogFormat.h"

using namespace yield;

TEST(Calendar, DaysCountedBothWays) {
    long long n = -1;
    ASSERT_TRUE(DayNumber("1970-01-01", n));
    EXPECT_EQ(n, 0);
    ASSERT_TRUE(DayNumber("2024-02-29", n));
    EXPECT_EQ(DayText(n + 1), "2024-03-01");
    EXPECT_EQ(DayText(n - 365), "2023-03-01");
    EXPECT_EQ(DaySpan("2026-11-30", "2026-12-31"), 32);
    EXPECT_EQ(DaySpan("2026-12-01", "2026-02-30"), 0);
    for (const char* day : {"2000-02-29", "1999-12-31", "2400-02-29"}) EXPECT_TRUE(IsDay(day));
    for (const char* day : {"1900-02-29", "2026-1-01", "2026-01-01x", "+026-01-01", "2026/01/01"})
        EXPECT_FALSE(IsDay(day)) << day;
}

TEST(Calendar, IsoWeeksAcrossYearEnds) {
    EXPECT_EQ(IsoWeek("2026-12-02"), "2026-W49");
    EXPECT_EQ(IsoWeek("2026-12-07"), "2026-W50");  // a Monday
    EXPECT_EQ(IsoWeek("2026-12-06"), "2026-W49");  // the Sunday before
    EXPECT_EQ(IsoWeek("2027-01-01"), "2026-W53");  // 2026 began on a Thursday: 53 weeks
    EXPECT_EQ(IsoWeek("2024-12-30"), "2025-W01");
    EXPECT_EQ(IsoWeek("2021-01-03"), "2020-W53");
    EXPECT_EQ(IsoWeek("2024-02-29"), "2024-W09");
    for (const char* bad :
         {"2026-02-29", "2026-13-01", "2026-00-10", "2026-04-31", "2026_12_02", "", "2026-1-02"})
        EXPECT_EQ(IsoWeek(bad), "") << bad;
}

TEST(Calendar, StampDayAndHourReadTheHeaderLayout) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 7;
    t.tm_hour = 14;
    char stamp[64];
    ASSERT_GT(std::strftime(stamp, sizeof stamp, tracefmt::kTimeStampFmt, &t), 0u);
    EXPECT_EQ(StampDay(stamp), "2026-12-07");
    EXPECT_EQ(StampHour(stamp), 14);
    EXPECT_EQ(StampHour("2026_12_07_00_00_00"), 0);
    EXPECT_EQ(StampDay("2026_12_07"), "2026-12-07");
    EXPECT_EQ(StampDay("2026_02_30_08_00_00"), "");
    for (const char* none : {"2026_12_07", "2026_12_07_24_00_00", "2026_12_07_x1_00_00",
                             "2026_12_07-08_00_00", "26_12_07_08_00_00", ""})
        EXPECT_EQ(StampHour(none), -1) << none;
    EXPECT_EQ(StampIso(stamp), "2026-12-07T14:00:00");
    for (const char* none : {"2026_02_30_08_00_00", "2026_12_07_08_60_00", "2026_12_07_08_00",
                             "2026_12_07_08_00_00x", "1970_01_01_00_00_0"})
        EXPECT_EQ(StampIso(none), "") << none;
}

// The quick reading of whether a stored day is its stamp's agrees with StampDay on every shape.
TEST(Calendar, IsStampDayAgreesWithStampDay) {
    const char* stamps[] = {"2026_12_07_14_00_00", "2026_12_07", "2026_02_30_08_00_00",
                            "2026_12_07-08_00_00", "2026_1_07_08_00_00", "20261207", "",
                            "2026_12_0x_08_00_00", "2026_12_07x08"};
    const char* days[] = {"2026-12-07", "2026-02-30", "2026-12-08", "2026_12_07", "", "2026-1-07"};
    for (const char* stamp : stamps)
        for (const char* day : days)
            EXPECT_EQ(IsStampDay(day, stamp), *day != '\0' && day == StampDay(stamp))
                << day << " " << stamp;
}
