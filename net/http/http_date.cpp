#include "net/http/http_date.h"

#include <cmath>
#include <cstdio>

#include "net/mail/mail_date.h"

namespace kavrel {

std::string HttpDateText(TDateTime local) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // Whole seconds: a date header has no finer unit, and rounding up could name a second
    // that has not come yet.
    const TDateTime utc = std::floor((local - LocalUtcOffset()) * 86400.0) / 86400.0;
    const TDate d = DecodeDate(utc);
    const TTimeOfDay t = DecodeTime(utc);
    // Day 0 (30 December 1899) was a Saturday.
    const long long days = static_cast<long long>(std::floor(utc));
    const int weekday = static_cast<int>(((days + 6) % 7 + 7) % 7);
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[weekday], d.Day,
                  kMonths[(d.Month + 11) % 12], d.Year, t.Hour, t.Minute, t.Second);
    return text;
}

}  // namespace kavrel
