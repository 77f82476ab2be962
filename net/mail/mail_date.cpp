#include "net/mail/mail_date.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <optional>

#include "base/strings.h"

namespace kavrel {
namespace {

constexpr const char* kTimeZoneFailure = "Failed attempting to retrieve time zone information.";

// Month names and their abbreviations in the languages that phones and localized mail
// programs write Date headers in.
constexpr std::string_view kMonthNames[12] = {
    "january januar janvier enero gennaio januari janeiro",
    "february februar fevrier f\xC3\xA9vrier febrero febbraio februari fevereiro",
    "march marz m\xC3\xA4rz mrz mars marzo maart mrt marco mar\xC3\xA7o",
    "april avril abril aprile",
    "may mai mayo maggio mei maio maj",
    "june juni juin junio giugno junho",
    "july juli juillet julio luglio julho",
    "august aout ao\xC3\xBBt agosto augusti augustus",
    "september septembre septiembre settembre setembro",
    "october oktober octobre octubre ottobre outubro",
    "november novembre noviembre novembro",
    "december dezember decembre d\xC3\xA9"
    "cembre diciembre dicembre dezembro",
};

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
    while (!r.empty() && r.front() == ' ') r.remove_prefix(1);
}

// '15.' in German dates, 'Nov.' and 'Nov 15, 1994' in others.
std::string_view WithoutPunctuation(std::string_view token) {
    while (!token.empty() && (token.back() == '.' || token.back() == ',')) token.remove_suffix(1);
    return token;
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

// Takes the token before the first space together with that space, and nothing more.
std::string_view TakeWord(std::string_view& r) {
    const auto at = r.find(' ');
    const std::string_view token = r.substr(0, at);
    r.remove_prefix(at == std::string_view::npos ? r.size() : at + 1);
    return token;
}

// A token matches a name it begins, three letters at least, unless it also begins a name of
// another month ('jui' is French for June and July).
int MonthOf(std::string_view token) {
    const std::string t = LowerCase(WithoutPunctuation(token));
    if (t.size() < 3) return 0;
    int month = 0;
    for (int m = 1; m <= 12; ++m) {
        std::string_view names = kMonthNames[m - 1];
        while (!names.empty()) {
            if (TakeToken(names, ' ').starts_with(t)) {
                if (month != 0 && month != m) return 0;
                month = m;
            }
        }
    }
    return month;
}

// A day name in any language ('Tue', 'Di.', 'lun.,', 'Tuesday'): a leading word of letters
// that a comma follows or that names no month. What day it names is never needed.
void SkipDayName(std::string_view& r) {
    const auto c = static_cast<unsigned char>(r.front());
    if (!((c | 0x20) >= 'a' && (c | 0x20) <= 'z') && c < 0x80) return;
    const auto end = r.find_first_of(" ,");
    if (end == std::string_view::npos || r[end] != ',') {
        if (MonthOf(r.substr(0, end)) != 0) return;
    }
    r.remove_prefix(end == std::string_view::npos ? r.size() : end);
    while (!r.empty() && (r.front() == ',' || r.front() == '.' || r.front() == ' ')) {
        r.remove_prefix(1);
    }
}

// RFC 5322 section 4.3: two digits name 1950 to 2049, three digits count from 1900.
std::optional<long long> YearOf(std::string_view token) {
    token = WithoutPunctuation(token);
    const auto year = Number(token);
    if (!year || *year < 0) return year;
    const std::size_t digits = token.size() - (token.front() == '+' ? 1 : 0);
    if (digits <= 2) return *year + (*year < 50 ? 2000 : 1900);
    if (digits == 3) return *year + 1900;
    return year;
}

double OffsetOfTimeT(std::time_t t) {
    tm local{};
    if (localtime_r(&t, &local) == nullptr) throw EFailedToRetrieveTimeZoneInfo(kTimeZoneFailure);
    return static_cast<double>(local.tm_gmtoff) / 86400.0;
}

}  // namespace

TMailDateParse ParseMailDate(std::string_view text) {
    // Tabs between the parts read as spaces.
    std::string work = Trim(text);
    std::replace_if(work.begin(), work.end(), IsBlank, ' ');
    std::string_view r = work;
    if (r.empty()) return {};
    SkipDayName(r);

    const auto dash = r.find('-');
    const char d = (dash != std::string_view::npos && dash >= 1 && dash < r.find(' ')) ? '-' : ' ';

    bool negative = false;
    auto numberOr = [&negative](std::optional<long long> n, long long fallback) {
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
    const long long day = numberOr(Number(WithoutPunctuation(dayToken)), 1);

    // The year token goes with its space, and what follows is not left-trimmed. A time in its
    // place is the form 'Tue Nov 15 08:12:31 1994', whose year follows the time.
    const std::string_view yearToken = TakeWord(r);
    std::optional<long long> year = YearOf(yearToken);
    std::string_view timeText = r;
    const bool yearAfterTime = !year && yearToken.find(':') != std::string_view::npos;
    if (yearAfterTime) {
        timeText = yearToken;
        LeftTrim(r);
        year = YearOf(TakeToken(r, ' '));
    }
    // A year that is missing or no number reads as 1900.
    const long long y = numberOr(year, 1900);

    const bool dateInRange = !negative && y >= 1 && y <= 9999 && day >= 1 && day <= 31;
    const auto date = dateInRange ? TryEncodeDate(static_cast<int>(y), month, static_cast<int>(day))
                                  : std::nullopt;
    if (!date) return {0, std::string(timeText)};
    TDateTime value = *date;

    if (timeText.find(':') != std::string_view::npos) {
        const std::string_view timeToken = TakeWord(timeText);
        // Hour, minute and second between the colons; a missing one reads as 0.
        std::string_view fields[3];
        std::string_view left = timeToken;
        for (int f = 0; f < 3; ++f) {
            const auto colon = f < 2 ? left.find(':') : std::string_view::npos;
            fields[f] = left.substr(0, colon);
            if (colon == std::string_view::npos) break;
            left.remove_prefix(colon + 1);
        }
        const long long hour = numberOr(Number(fields[0]), 0);
        const long long minute = numberOr(Number(fields[1]), 0);
        const long long second = numberOr(Number(fields[2]), 0);
        if (negative || hour >= 24 || minute >= 60 || second >= 60) {
            return {0, std::string(timeText)};
        }
        value += *TryEncodeTime(static_cast<int>(hour), static_cast<int>(minute),
                                static_cast<int>(second));
    }
    std::string_view rest = yearAfterTime ? r : timeText;
    LeftTrim(rest);
    return {value, std::string(rest)};
}

double ParseZoneOffset(std::string_view text) {
    const std::string trimmed = Trim(text);
    std::string_view s = trimmed;
    // 'GMT+0200', 'UTC-05:00': an offset written after the zone it counts from.
    for (const std::string_view name : {"GMT", "UTC", "UT"}) {
        if (s.size() > name.size() && StartsText(s, name) &&
            (s[name.size()] == '+' || s[name.size()] == '-')) {
            s.remove_prefix(name.size());
            break;
        }
    }
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        auto twoDigits = [&s](std::size_t at) {
            return at + 2 <= s.size() && s[at] >= '0' && s[at] <= '9' && s[at + 1] >= '0' &&
                           s[at + 1] <= '9'
                       ? (s[at] - '0') * 10 + (s[at + 1] - '0')
                       : -1;
        };
        // '+0200', or '+02:00' as some programs write it.
        const int hours = twoDigits(1);
        const int minutes = twoDigits(s.size() > 3 && s[3] == ':' ? 4 : 3);
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
