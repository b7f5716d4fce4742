// Which stamps are a clock that was never set, and the day such a run is counted on.
#include "parse/runClock.h"

#include <gtest/gtest.h>

namespace yield {
namespace {

constexpr long long kNanos = 1000000000LL;

std::time_t LocalTime(int year, int month, int day, int hour) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

TEST(RunClock, StampsBeforeTheLineOrPastTheirArrivalAreUnset) {
    std::time_t arrival = LocalTime(2026, 12, 7, 12);
    EXPECT_TRUE(StampIsUnset("1970_01_01_00_00_07", arrival));
    EXPECT_TRUE(StampIsUnset("2000_01_01_00_00_00", arrival));
    EXPECT_TRUE(StampIsUnset("2026_12_09_13_00_00", arrival));   // 49 hours ahead of its file
    EXPECT_FALSE(StampIsUnset("2026_12_09_11_00_00", arrival));  // 47 hours: a zone apart
    EXPECT_FALSE(StampIsUnset("2026_12_07_10_43_33", arrival));
    EXPECT_FALSE(StampIsUnset("2026_03_01_08_00_00", arrival));  // an old stick gathered late
    EXPECT_FALSE(StampIsUnset("2021_01_01_00_00_00", arrival));
    EXPECT_FALSE(StampIsUnset("9999_99_99_99_99_99", arrival));  // no time: not judged here
}

TEST(RunClock, AnUnsetRunCountsOnTheDayItsFileArrived) {
    std::time_t copied = LocalTime(2026, 12, 7, 12);
    std::time_t now = LocalTime(2026, 12, 8, 9);
    EXPECT_EQ(ArrivalTime(copied * kNanos, now), copied);
    // A file the board itself dated 1970, or dated past the ingest: the ingest's time.
    EXPECT_EQ(ArrivalTime(7 * kNanos, now), now);
    EXPECT_EQ(ArrivalTime((now + 3 * kClockSlackSeconds) * kNanos, now), now);

    RunRecord run;
    run.timeStamp = "1970_01_01_00_00_07";
    MarkUnsetClock(run, copied * kNanos, now);
    EXPECT_TRUE(run.clockUnset);
    EXPECT_EQ(run.CountedDay(), "2026-12-07");
    MarkUnsetClock(run, 7 * kNanos, now);
    EXPECT_EQ(run.CountedDay(), "2026-12-08");

    run.timeStamp = "2026_12_07_10_43_33";
    MarkUnsetClock(run, copied * kNanos, now);
    EXPECT_FALSE(run.clockUnset);
    EXPECT_EQ(run.CountedDay(), "2026-12-07");
    run.timeStamp = "1970_99_99_00_00_00";  // no day at all: left to the runs without a day
    MarkUnsetClock(run, copied * kNanos, now);
    EXPECT_FALSE(run.clockUnset);
    EXPECT_EQ(run.CountedDay(), "");
}

TEST(RunClock, StampOfWritesTheBoardsLayout) {
    EXPECT_EQ(StampOf(LocalTime(2026, 12, 7, 12)), "2026_12_07_12_00_00");
}

}  // namespace
}  // namespace yield
