#include "net/mail/mail_date.h"

#include <gtest/gtest.h>

#include "tests/support/raises.h"
#include "tests/support/time_zone.h"

namespace kavrel {
namespace {

using test::TScopedTimeZone;

std::string Show(TDateTime v) { return FormatDateTime("yyyy/m/d hh:nn:ss", v); }

// POSIX TZ strings, so the tests need no time-zone database.
constexpr const char* kPlusOneHour = "TST-1";
constexpr const char* kMinusFiveHours = "TST5";
constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

TEST(MailDate, ToLocalForAUserAtPlusOneHour) {
    TScopedTimeZone tz(kPlusOneHour);
    struct {
        const char* date;
        const char* local;
    } const rows[] = {
        {"Tue, 15 Nov 1994 08:12:31 +0100", "1994/11/15 08:12:31"},
        {"15 Nov 1994 08:12:31 -0500", "1994/11/15 14:12:31"},
        {"Tue, 15 Nov 94 08:12:31 GMT", "1994/11/15 09:12:31"},
        {"Tue,15 Nov 2004 08:12 +0000", "2004/11/15 09:12:00"},
        {"Tue Nov 15 08:12:31 1994", "1994/11/15 09:12:31"},
        {"Tuesday, 15-Nov-94 08:12:31 GMT", "1994/11/15 09:12:31"},
        // Zone names are read (RFC 5322): EST is -0500, where it used to count as 0.
        {"Tue, 15 Nov 1994 08:12:31 EST", "1994/11/15 14:12:31"},
        {"Tue, 15 Nov 1994 08:12:31 pdt", "1994/11/15 16:12:31"},
        {"Tue, 15 Nov 1994 08:12:31 UT", "1994/11/15 09:12:31"},
        {"Tue, 15 Nov 1994 08:12:31 IST", "1994/11/15 09:12:31"},  // unknown name: 0
        {"Tue, 15 Nov 1994 08:12:31 +0530 (IST)", "1994/11/15 03:42:31"},
        {"Tue, 15 Foo 1994 08:12:31 +0100", "1899/12/30 01:00:00"},  // invalid month
        {"Tue, 15 November 1994 08:12:31 +0100", "1994/11/15 08:12:31"},
        {"Tue, 31 Feb 1994 08:12:31 +0100", "1899/12/30 01:00:00"},  // invalid day
        {"Tue, 15 Nov 1994 25:12:31 +0100", "1899/12/30 00:00:00"},  // invalid hour, zone read
        {"", "1899/12/30 01:00:00"},                                 // no Date field
        {"Fri, 1 Jan 2049 00:00:00 +0000", "2049/1/1 01:00:00"},     // two-digit rule only for <100
        {"1 Jan 49 00:00:00 +0000", "2049/1/1 01:00:00"},
        {"1 Jan 80 00:00:00 +0000", "1980/1/1 01:00:00"},
        {"1 Jan 50 00:00:00 +0000", "1950/1/1 01:00:00"},  // RFC 5322 4.3: 50 to 99 are 19xx
        {"Tue Nov 15 08:12:31 1994 -0500", "1994/11/15 14:12:31"},
        {"mar, 15 nov 1994 08:12:31 +0100", "1994/11/15 08:12:31"},  // Spanish 'martes'
        {"Sat, 1 Jan 2000 00:00:00 -0100", "2000/1/1 02:00:00"},
        {"1 Jan 2000 23:59:59 -2359", "2000/1/3 00:58:59"},
        {"1 Jan 2000 10:00:00 +2400", "2000/1/1 11:00:00"},  // 24 hours is no offset
        {"-1 Jan 2000 10:00:00", "1899/12/30 01:00:00"},     // a negative number is invalid
        {"1 Jan 2000 10:-1:00", "1899/12/30 01:00:00"},
    };
    for (const auto& r : rows) EXPECT_EQ(Show(MailDateToLocal(r.date)), r.local) << r.date;
}

TEST(MailDate, MissingDateFollowsTheLocalOffset) {
    TScopedTimeZone tz(kMinusFiveHours);
    EXPECT_NEAR(MailDateToLocal(""), -5.0 / 24, 1e-9);
    EXPECT_EQ(FormatDateTime("m/d/yyyy h:mma/p", MailDateToLocal("")), "12/30/1899 5:00a");
}

// Each message is shifted by the offset in force at its own instant, not at the moment of
// the check: a winter message read in summer keeps its winter clock time.
TEST(MailDate, DaylightSavingTimeAtTheMessagesInstant) {
    TScopedTimeZone tz(kCentralEurope);
    EXPECT_EQ(Show(MailDateToLocal("Mon, 15 Jan 2024 12:00:00 +0000")), "2024/1/15 13:00:00");
    EXPECT_EQ(Show(MailDateToLocal("Mon, 15 Jul 2024 12:00:00 +0000")), "2024/7/15 14:00:00");
    // Either side of the switch at 01:00 UTC on the last Sunday of March.
    EXPECT_EQ(Show(MailDateToLocal("31 Mar 2024 00:59:59 +0000")), "2024/3/31 01:59:59");
    EXPECT_EQ(Show(MailDateToLocal("31 Mar 2024 01:00:00 +0000")), "2024/3/31 03:00:00");
}

TEST(MailDate, ParseLeavesTheRest) {
    struct {
        const char* text;
        const char* value;  // "" for 0
        const char* rest;
    } const rows[] = {
        {"Tue, 15 Nov 1994 08:12:31 +0530 (IST)", "1994/11/15 08:12:31", "+0530 (IST)"},
        {"Tue, 15 Novembre 1994 08:12:31 +0100", "1994/11/15 08:12:31", "+0100"},
        {"Tue, 15 Foo 1994 08:12:31 +0100", "", "08:12:31 +0100"},
        {"Tue, 15 Nov 1994 25:12:31 +0100", "", "+0100"},
        {"Tue Nov 15 08:12:31 1994", "1994/11/15 08:12:31", ""},
        {"15 Nov 1994", "1994/11/15 00:00:00", ""},
        {"  ", "", ""},
        {"Tue,", "", ""},
        {"garbage", "", ""},
        {"Nov", "1900/11/1 00:00:00", ""},  // day 1 and year 1900 stand in for what is missing
    };
    for (const auto& r : rows) {
        const TMailDateParse p = ParseMailDate(r.text);
        EXPECT_EQ(p.Value == 0 ? "" : Show(p.Value), r.value) << r.text;
        EXPECT_EQ(p.Rest, r.rest) << r.text;
    }
}

TEST(MailDate, NoOffsetOutsideTheCalendar) {
    EXPECT_EQ(test::MessageOf<EFailedToRetrieveTimeZoneInfo>([] { LocalUtcOffsetAt(1e300); }),
              "Failed attempting to retrieve time zone information.");
}

TEST(MailDate, ZoneOffsets) {
    struct {
        const char* text;
        double hours;
    } const rows[] = {
        {"+0100", 1}, {"-0500", -5}, {"+0530", 5.5},  {" -0000 ", 0},  {"+2359", 23 + 59 / 60.0},
        {"+2400", 0}, {"+0060", 0},  {"+01", 0},      {"+01a0", 0},    {"0100", 0},
        {"GMT", 0},   {"EDT", -4},   {"cst", -6},     {"CDT", -5},     {"MST", -7},
        {"MDT", -6},  {"PST", -8},   {"Z", 0},        {"ZULU", 0},     {"(EST)", 0},
        {"GMT+2", 0}, {"+02:00", 2}, {"GMT+0200", 2}, {"UT-0100", -1}, {"UTC-05:30", -5.5},
        {"", 0},
    };
    for (const auto& r : rows) EXPECT_NEAR(ParseZoneOffset(r.text) * 24, r.hours, 1e-9) << r.text;
}

}  // namespace
}  // namespace kavrel
