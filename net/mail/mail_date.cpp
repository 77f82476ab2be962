#include "net/mail/mail_date.h"

#include <cmath>
#include <ctime>
#include <optional>

#include "base/strings.h"

namespace kavrel {
namespace {

constexpr const char* kTimeZoneFailure = "Failed attempting to retrieve time zone information.";

// A decimal number with an optional sign and nothing else.
std::optional<long long> Number(std::string_view s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i == s.size()) return std::nullopt;
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return std::nullopt;
        v = v * 10 + (s[i] - '0');
        if (v > 100'000'000) return std::nullopt;  // far beyond any date field
    }
    return negative ? -v : v;
}

void LeftTrim(std::string_view& r) {
    while (!r.empty() && IsBlank(r.front())) r.remove_prefix(1);
}

std::string_view Before(std::string_view r, char d) { return r.substr(0, r.find(d)); }

// Takes the token before the first d together with that d, then left-trims the rest.
std::string_view TakeToken(std::string_view& r, char d) {
    const auto at = r.find(d);
    const std::string_view token = r.substr(0, at);
    r.remove_prefix(at == std::string_view::npos ? r.size() : at + 1);
    LeftTrim(r);
    return token;
}

int MonthOf(std::string_view token) {
    static constexpr std::string_view kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                   "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    if (token.size() != 3) return 0;
    for (int m = 0; m < 12; ++m) {
        if (SameText(token, kMonths[m])) return m + 1;
    }
    return 0;
}

bool IsWeekday(std::string_view r) {
    static constexpr std::string_view kDays[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
    if (r.size() < 3) return false;
    for (const auto day : kDays) {
        if (SameText(r.substr(0, 3), day)) return true;
    }
    return false;
}

double OffsetOfTimeT(std::time_t t) {
    tm local{};
    if (localtime_r(&t, &local) == nullptr) throw EFailedToRetrieveTimeZoneInfo(kTimeZoneFailure);
    return static_cast<double>(local.tm_gmtoff) / 86400.0;
}

}  // namespace

TMailDateParse ParseMailDate(std::string_view text) {
    std::string trimmed = Trim(text);
    std::string_view r = trimmed;
    if (r.empty()) return {};

    if (IsWeekday(r)) {
        // 'Tue,15 Nov' reads like 'Tue, 15 Nov'.
        if (r.size() > 4 && r[3] == ',' && r[4] != ' ') {
            trimmed = trimmed.substr(0, 4) + " " + trimmed.substr(4);
            r = trimmed;
        }
        const auto space = r.find(' ');
        r.remove_prefix(space == std::string_view::npos ? r.size() : space + 1);
        LeftTrim(r);
    }

    const auto dash = r.find('-');
    const auto space = r.find(' ');
    const char d = (dash != std::string_view::npos && dash >= 1 && dash < space) ? '-' : ' ';

    bool negative = false;
    auto numberOr = [&negative](std::string_view token, long long fallback) {
        const auto n = Number(token);
        if (n && *n < 0) negative = true;
        return n.value_or(fallback);
    };

    std::string_view dayToken;
    int month = 0;
    if (MonthOf(Before(r, d)) != 0) {
        month = MonthOf(TakeToken(r, d));
        dayToken = TakeToken(r, d);
    } else {
        dayToken = TakeToken(r, d);
        month = MonthOf(TakeToken(r, d));
    }
    const long long day = numberOr(dayToken, 1);

    // The year token goes with its space, and what follows is not left-trimmed.
    const auto yearEnd = r.find(' ');
    std::string_view yearToken = r.substr(0, yearEnd);
    r.remove_prefix(yearEnd == std::string_view::npos ? r.size() : yearEnd + 1);
    long long year = numberOr(yearToken, 1900);
    if (year == 1900) {
        // 'Tue Nov 15 08:12:31 1994': the year comes last and the time stands in its place.
        year = numberOr(r, 1900);
        r = yearToken;
    }
    if (year >= 0 && year < 80)
        year += 2000;
    else if (year >= 80 && year < 100)
        year += 1900;

    const bool dateInRange = !negative && year >= 1 && year <= 9999 && day >= 1 && day <= 31;
    const auto date = dateInRange
                          ? TryEncodeDate(static_cast<int>(year), month, static_cast<int>(day))
                          : std::nullopt;
    if (!date) return {0, std::string(r)};
    TDateTime value = *date;

    if (r.find(':') != std::string_view::npos) {
        const auto timeEnd = r.find(' ');
        const std::string_view timeToken = r.substr(0, timeEnd);
        r.remove_prefix(timeEnd == std::string_view::npos ? r.size() : timeEnd + 1);
        // Hour, minute and second between the colons; a missing one reads as 0.
        std::string_view fields[3];
        std::string_view left = timeToken;
        for (int f = 0; f < 3; ++f) {
            const auto colon = f < 2 ? left.find(':') : std::string_view::npos;
            fields[f] = left.substr(0, colon);
            if (colon == std::string_view::npos) break;
            left.remove_prefix(colon + 1);
        }
        const std::string_view hourText = fields[0];
        const std::string_view minuteText = fields[1];
        const std::string_view secondText = fields[2];
        const long long hour = numberOr(hourText, 0);
        const long long minute = numberOr(minuteText, 0);
        const long long second = numberOr(secondText, 0);
        if (negative || hour >= 24 || minute >= 60 || second >= 60) return {0, std::string(r)};
        value += *TryEncodeTime(static_cast<int>(hour), static_cast<int>(minute),
                                static_cast<int>(second));
    }
    LeftTrim(r);
    return {value, std::string(r)};
}

double ParseZoneOffset(std::string_view text) {
    const std::string trimmed = Trim(text);
    const std::string_view s = std::string_view(trimmed).substr(0, 5);
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        auto twoDigits = [](std::string_view t) {
            return t.size() == 2 && t[0] >= '0' && t[0] <= '9' && t[1] >= '0' && t[1] <= '9'
                       ? (t[0] - '0') * 10 + (t[1] - '0')
                       : -1;
        };
        const int hours = s.size() == 5 ? twoDigits(s.substr(1, 2)) : -1;
        const int minutes = s.size() == 5 ? twoDigits(s.substr(3, 2)) : -1;
        if (hours < 0 || hours >= 24 || minutes < 0 || minutes >= 60) return 0;
        const double offset = hours / 24.0 + minutes / 1440.0;
        return s[0] == '-' ? -offset : offset;
    }
    // The obsolete zone names of RFC 5322; any other name counts as 0.
    std::size_t n = 0;
    while (n < trimmed.size() && ((trimmed[n] | 0x20) >= 'a' && (trimmed[n] | 0x20) <= 'z')) ++n;
    static constexpr struct {
        std::string_view name;
        int hours;
    } kZones[] = {{"UT", 0},   {"GMT", 0},  {"Z", 0},    {"EST", -5}, {"EDT", -4}, {"CST", -6},
                  {"CDT", -5}, {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7}};
    const std::string_view word = std::string_view(trimmed).substr(0, n);
    for (const auto& zone : kZones) {
        if (SameText(word, zone.name)) return zone.hours / 24.0;
    }
    return 0;
}

double LocalUtcOffset() { return OffsetOfTimeT(std::time(nullptr)); }

double LocalUtcOffsetAt(TDateTime utc) {
    const double seconds = std::round((utc - 25569.0) * 86400.0);
    // Far outside the calendar (years 1 to 9999) the system has no offset to tell.
    if (!std::isfinite(seconds) || std::fabs(seconds) > 4e11) {
        throw EFailedToRetrieveTimeZoneInfo(kTimeZoneFailure);
    }
    return OffsetOfTimeT(static_cast<std::time_t>(seconds));
}

TDateTime MailDateToLocal(std::string_view text) {
    const TMailDateParse parsed = ParseMailDate(text);
    const double zone = ParseZoneOffset(parsed.Rest);
    // Without a date there is no instant to ask about: use the offset in force now.
    if (parsed.Value == 0) return parsed.Value - zone + LocalUtcOffset();
    // Otherwise the offset at the message's own instant, so that a winter message read in
    // summer keeps its winter clock time.
    const TDateTime utc = parsed.Value - zone;
    return utc + LocalUtcOffsetAt(utc);
}

}  // namespace kavrel
