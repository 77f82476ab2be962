#include "base/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

namespace kavrel {
namespace {

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return *TryEncodeDate(y, mo, d) + *TryEncodeTime(h, mi, s);
}

TEST(DateTime, SerialNumbersOfKnownDays) {
    struct {
        int y, m, d;
        double serial;
    } const rows[] = {
        {1899, 12, 30, 0},       {1899, 12, 31, 1},    {1900, 1, 1, 2},      {1899, 12, 29, -1},
        {1900, 3, 1, 61},        {1970, 1, 1, 25569},  {2000, 2, 29, 36585}, {1, 1, 1, -693593},
        {9999, 12, 31, 2958465}, {1800, 1, 1, -36522},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.y << "-" << r.m << "-" << r.d);
        EXPECT_EQ(*TryEncodeDate(r.y, r.m, r.d), r.serial);
        const TDate back = DecodeDate(r.serial);
        EXPECT_EQ(back.Year, r.y);
        EXPECT_EQ(back.Month, r.m);
        EXPECT_EQ(back.Day, r.d);
    }
}

TEST(DateTime, EveryDayRoundTrips) {
    int expectedSerial = -693593;
    for (int y = 1; y <= 9999; ++y) {
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= DaysInMonth(y, m); ++d, ++expectedSerial) {
                const auto v = TryEncodeDate(y, m, d);
                ASSERT_TRUE(v) << y << "-" << m << "-" << d;
                ASSERT_EQ(*v, expectedSerial);
                const TDate back = DecodeDate(*v);
                ASSERT_TRUE(back.Year == y && back.Month == m && back.Day == d) << *v;
            }
        }
    }
}

TEST(DateTime, InvalidDatesAndTimes) {
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29));  // 1900 was no leap year
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29));
    EXPECT_FALSE(TryEncodeDate(1994, 2, 31));
    EXPECT_FALSE(TryEncodeDate(0, 1, 1));
    EXPECT_FALSE(TryEncodeDate(10000, 1, 1));
    EXPECT_FALSE(TryEncodeDate(2020, 0, 1));
    EXPECT_FALSE(TryEncodeDate(2020, 13, 1));
    EXPECT_FALSE(TryEncodeDate(2020, 4, 0));
    EXPECT_FALSE(TryEncodeTime(24, 0, 0));
    EXPECT_FALSE(TryEncodeTime(0, 60, 0));
    EXPECT_FALSE(TryEncodeTime(0, 0, 60));
    EXPECT_FALSE(TryEncodeTime(-1, 0, 0));
    EXPECT_TRUE(TryEncodeTime(23, 59, 59, 999));
}

TEST(DateTime, DisplayPatterns) {
    struct {
        const char* name;
        TDateTime value;
        const char* pattern;
        const char* expected;
    } const rows[] = {
        {"midnight is 12a", At(2026, 12, 9), "h:mma/p", "12:00a"},
        {"noon is 12p", At(2026, 12, 9, 12), "h:mma/p", "12:00p"},
        {"morning single-digit hour", At(2026, 12, 9, 8, 5), "h:mma/p", "8:05a"},
        {"afternoon", At(2026, 12, 9, 13, 30), "h:nna/p", "1:30p"},
        {"one minute before midnight", At(2026, 12, 9, 23, 59, 59), "h:mma/p", "11:59p"},
        {"single-digit month and day", At(2026, 1, 2), "m/d/yyyy", "1/2/2026"},
        {"two-digit month and day", At(2026, 12, 31), "m/d/yyyy", "12/31/2026"},
        {"sent date with time", At(1994, 11, 15, 8, 12, 31), "m/d/yyyy h:mma/p",
         "11/15/1994 8:12a"},
        {"month after the hour pattern", At(2026, 3, 4, 17, 7), "h:nna/p m/d/yyyy",
         "5:07p 3/4/2026"},
        {"log start stamp", At(2026, 3, 4, 0, 1), "m/d/yyyy h:nna/p", "3/4/2026 12:01a"},
        {"year below 1000 keeps four digits", At(999, 5, 6), "m/d/yyyy", "5/6/0999"},
        {"day zero", 0.0, "m/d/yyyy h:mma/p", "12/30/1899 12:00a"},
        {"one hour after day zero", 1.0 / 24, "m/d/yyyy h:mma/p", "12/30/1899 1:00a"},
        // Below 0 the day is the integer part and the time comes from the fraction's size.
        {"minus five hours stays on day zero", -5.0 / 24, "m/d/yyyy h:mma/p", "12/30/1899 5:00a"},
        {"minus one and a quarter", -1.25, "m/d/yyyy h:mma/p", "12/29/1899 6:00a"},
        {"1800 in the evening", -36522 - 0.75, "m/d/yyyy h:mma/p", "1/1/1800 6:00p"},
        {"1900 leap day that was not", 60.5, "m/d/yyyy h:mma/p", "2/28/1900 12:00p"},
        {"first day after 1900-02-28", 61.0, "m/d/yyyy", "3/1/1900"},
        {"rounding carries into the next day", At(2026, 12, 9) + 0.9999999999, "m/d/yyyy h:mma/p",
         "12/10/2026 12:00a"},
        {"other characters are copied", At(2026, 12, 9, 9), "[h] d.m", "[9] 9.12"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(FormatDateTime(r.pattern, r.value), r.expected) << r.name;
    }
}

TEST(DateTime, TimeOfDayDecoding) {
    const TTimeOfDay t = DecodeTime(At(2000, 1, 1, 13, 14, 15) + 0.250 / 86400);
    EXPECT_EQ(t.Hour, 13);
    EXPECT_EQ(t.Minute, 14);
    EXPECT_EQ(t.Second, 15);
    EXPECT_EQ(t.MSec, 250);
}

TEST(DateTime, OutOfRangeValuesDecodeWithinTheCalendar) {
    for (const double v : {1e300, -1e300, double(NAN), double(INFINITY), -double(INFINITY)}) {
        const TDate d = DecodeDate(v);
        EXPECT_GE(d.Year, 1) << v;
        EXPECT_LE(d.Year, 9999) << v;
        EXPECT_FALSE(FormatDateTime("m/d/yyyy h:mma/p", v).empty());
    }
}

TEST(DateTime, NowIsTheLocalWallClock) {
    // The test runs with TZ=UTC, so local time is the Unix time shifted to day 25569.
    // Read from the clock Now reads: time() follows a coarser one that can lag it by a few
    // milliseconds, which at a second's turn put Now past time() + 1.
    const auto seconds = [] {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return ts.tv_sec;
    };
    const double before = static_cast<double>(seconds()) / 86400 + 25569;
    const TDateTime now = Now();
    const double after = static_cast<double>(seconds() + 1) / 86400 + 25569;
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
    EXPECT_EQ(Date(), std::trunc(now));
}

}  // namespace
}  // namespace kavrel
