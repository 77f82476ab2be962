#pragma once

#include <optional>
#include <string>
#include <string_view>

// Date-time values: days since 30 December 1899 00:00, the fraction being the time of day.
// A negative value names the day given by its integer part (towards zero), with the time of
// day taken from the absolute value of its fraction: -1.25 is 29 December 1899 06:00.
namespace kavrel {

using TDateTime = double;

struct TDate {
    int Year = 0;
    int Month = 0;
    int Day = 0;
};

struct TTimeOfDay {
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int MSec = 0;
};

bool IsLeapYear(int year);
// Days of the month in the Gregorian calendar; 0 for a month outside 1 to 12.
int DaysInMonth(int year, int month);

// Nothing unless year is 1 to 9999, month 1 to 12 and day valid for that month.
std::optional<TDateTime> TryEncodeDate(int year, int month, int day);
// Nothing unless hour < 24, minute < 60, second < 60 and msec < 1000, none negative.
std::optional<TDateTime> TryEncodeTime(int hour, int minute, int second, int msec = 0);

TDate DecodeDate(TDateTime value);
TTimeOfDay DecodeTime(TDateTime value);

// Current local time and today's date (time of day 0).
TDateTime Now();
TDateTime Date();

// Formats with the display patterns the program uses ("m/d/yyyy", "h:mma/p",
// "m/d/yyyy h:mma/p", "h:nna/p m/d/yyyy", "m/d/yyyy h:nna/p"):
//   d      day without leading zero        m   month without leading zero
//   yyyy   four-digit year                 h   hour without leading zero
//   mm/nn  two-digit minute ("mm" only right after an hour, "nn" anywhere)
//   a/p    "a" or "p"; its presence puts "h" on a 12-hour clock (0 and 12 show as 12)
//   /  :   the date and time separators ("/" and ":")
// Any other character is copied.
std::string FormatDateTime(std::string_view pattern, TDateTime value);

}  // namespace kavrel
