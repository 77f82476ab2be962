#include "base/date_time.h"

#include <cmath>
#include <cstdint>
#include <ctime>

#include "base/strings.h"

namespace kavrel {
namespace {

constexpr std::int64_t kMSecPerDay = 86'400'000;
// 30 December 1899 is 25569 days before 1 January 1970.
constexpr std::int64_t kUnixEpochSerial = 25569;
constexpr double kMinSerial = -693593.0;  // 1 January 0001
constexpr double kMaxSerial = 2958466.0;  // 1 January 10000, excluded

// Days since 1 January 1970 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

TDate CivilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
    return {static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
}

// Splits a value into its day number and the milliseconds of its time of day. Rounding to
// the millisecond carries into the day, so 23:59:59.9996 never shows as hour 24.
void Split(TDateTime value, std::int64_t& day, std::int64_t& msec) {
    if (!std::isfinite(value)) value = 0;
    if (value < kMinSerial) value = kMinSerial;
    if (value > kMaxSerial - 1.0 / kMSecPerDay) value = kMaxSerial - 1.0 / kMSecPerDay;
    const bool negative = value < 0;
    std::int64_t total = std::llround(std::fabs(value) * static_cast<double>(kMSecPerDay));
    day = total / kMSecPerDay;
    msec = total % kMSecPerDay;
    if (negative) day = -day;
}

int CountRun(std::string_view s, std::size_t i) {
    std::size_t j = i;
    while (j < s.size() && (s[j] | 0x20) == (s[i] | 0x20)) ++j;
    return static_cast<int>(j - i);
}

bool StartsWithNoCase(std::string_view s, std::size_t i, std::string_view word) {
    return s.size() - i >= word.size() && SameText(s.substr(i, word.size()), word);
}

void AppendNumber(std::string& out, int value, int width) {
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
    out += digits;
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

std::optional<TDateTime> TryEncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12) return std::nullopt;
    if (day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
    const std::int64_t days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return static_cast<TDateTime>(days + kUnixEpochSerial);
}

std::optional<TDateTime> TryEncodeTime(int hour, int minute, int second, int msec) {
    if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60 ||
        msec < 0 || msec >= 1000) {
        return std::nullopt;
    }
    const std::int64_t total = ((hour * 60LL + minute) * 60 + second) * 1000 + msec;
    return static_cast<double>(total) / static_cast<double>(kMSecPerDay);
}

TDate DecodeDate(TDateTime value) {
    std::int64_t day = 0;
    std::int64_t msec = 0;
    Split(value, day, msec);
    return CivilFromDays(day - kUnixEpochSerial);
}

TTimeOfDay DecodeTime(TDateTime value) {
    std::int64_t day = 0;
    std::int64_t msec = 0;
    Split(value, day, msec);
    const auto ms = static_cast<int>(msec);
    return {ms / 3'600'000, ms / 60'000 % 60, ms / 1000 % 60, ms % 1000};
}

TDateTime Now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    const TDateTime date =
        TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday).value_or(0);
    // A leap second (tm_sec 60) is shown as the last second of its minute.
    const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
    const int msec = static_cast<int>(ts.tv_nsec / 1'000'000);
    return date + TryEncodeTime(local.tm_hour, local.tm_min, second, msec).value_or(0);
}

TDateTime Date() { return std::trunc(Now()); }

std::string FormatDateTime(std::string_view pattern, TDateTime value) {
    const TDate date = DecodeDate(value);
    const TTimeOfDay time = DecodeTime(value);
    bool twelveHour = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (StartsWithNoCase(pattern, i, "a/p") || StartsWithNoCase(pattern, i, "am/pm")) {
            twelveHour = true;
        }
    }

    std::string out;
    bool afterHour = false;  // "m" right after an hour is a minute
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        const char lower = static_cast<char>(c | 0x20);
        const int run = CountRun(pattern, i);
        if (lower == 'a' && StartsWithNoCase(pattern, i, "am/pm")) {
            const bool upper = c == 'A';
            out += time.Hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
            i += 5;
        } else if (lower == 'a' && StartsWithNoCase(pattern, i, "a/p")) {
            const bool upper = c == 'A';
            out += time.Hour < 12 ? (upper ? 'A' : 'a') : (upper ? 'P' : 'p');
            i += 3;
        } else if (lower == 'd') {
            AppendNumber(out, date.Day, run >= 2 ? 2 : 1);
            i += run;
        } else if (lower == 'm' && afterHour) {
            AppendNumber(out, time.Minute, run >= 2 ? 2 : 1);
            i += run;
        } else if (lower == 'm') {
            AppendNumber(out, date.Month, run >= 2 ? 2 : 1);
            i += run;
        } else if (lower == 'n') {
            AppendNumber(out, time.Minute, run >= 2 ? 2 : 1);
            i += run;
        } else if (lower == 's') {
            AppendNumber(out, time.Second, run >= 2 ? 2 : 1);
            i += run;
        } else if (lower == 'y') {
            if (run >= 3)
                AppendNumber(out, date.Year, 4);
            else
                AppendNumber(out, date.Year % 100, 2);
            i += run;
        } else if (lower == 'h') {
            int hour = time.Hour;
            if (twelveHour) hour = hour % 12 == 0 ? 12 : hour % 12;
            AppendNumber(out, hour, run >= 2 ? 2 : 1);
            i += run;
        } else {
            out += c;  // separators and literals; "/" and ":" are this system's own
            ++i;
            continue;
        }
        afterHour = lower == 'h';
    }
    return out;
}

}  // namespace kavrel
