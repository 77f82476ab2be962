// Date header texts: the date and time, the zone, and the local value made of them.
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "net/mail/mail_date.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace kavrel;

std::string TwoDigits(int n) {
    return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10);
}

// Any instant of the years two digits can name, written as mail programs write dates (the
// first bytes of the input choose), reads back as that instant.
void RoundTrip(fuzz::TFuzzInput in) {
    static constexpr const char* kMonths[12][3] = {
        {"Jan", "January", "janv."}, {"Feb", "February", "Febr."}, {"Mar", "March", "M\xC3\xA4rz"},
        {"Apr", "April", "avr."},    {"May", "Mai", "mayo"},       {"Jun", "June", "juin"},
        {"Jul", "July", "juil."},    {"Aug", "August", "ago"},     {"Sep", "Sept.", "set"},
        {"Oct", "October", "Okt."},  {"Nov", "November", "nov."},  {"Dec", "Dez.", "dic"},
    };
    static constexpr const char* kDayNames[] = {"",      "Tue, ",     "Di., ",
                                                "lun. ", "Tuesday, ", "mar, "};
    static constexpr const char* kZones[][2] = {
        {"+0000", "0"},          {"+02:00", "120"}, {"GMT+0530", "330"},
        {"-0800 (PST)", "-480"}, {"EST", "-300"},   {"", "0"},
    };
    const int year = 1950 + in.Byte() % 100;
    const int month = 1 + in.Byte() % 12;
    const int day = 1 + in.Byte() % DaysInMonth(year, month);
    const int hour = in.Byte() % 24;
    const int minute = in.Byte() % 60;
    const int second = in.Byte() % 60;
    const std::uint8_t style = in.Byte();
    const std::uint8_t zone = in.Byte() % 6;
    const std::string blank = (style & 1) != 0 ? "\t" : " ";
    const std::string y = (style & 2) != 0 ? TwoDigits(year % 100) : std::to_string(year);
    const std::string date = std::string(kDayNames[(style >> 2) % 6]) + std::to_string(day) +
                             ((style & 32) != 0 ? "." : "") + blank +
                             kMonths[month - 1][(style >> 6) % 3] + blank + y + blank +
                             TwoDigits(hour) + ":" + TwoDigits(minute) + ":" + TwoDigits(second) +
                             blank + kZones[zone][0];
    const TMailDateParse parsed = ParseMailDate(date);
    const TDateTime expected =
        *TryEncodeDate(year, month, day) + *TryEncodeTime(hour, minute, second);
    FUZZ_CHECK(std::fabs(parsed.Value - expected) < 1e-9);
    FUZZ_CHECK(std::fabs(ParseZoneOffset(parsed.Rest) * 1440 - std::atoi(kZones[zone][1])) < 1e-6);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A zone with daylight saving time, so both offsets and the switches are reached.
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const TMailDateParse parsed = ParseMailDate(text);
    // 0, or a day of the years 1 to 9999.
    FUZZ_CHECK(parsed.Value == 0 || (parsed.Value >= -693594 && parsed.Value < 2958466));
    FUZZ_CHECK(parsed.Rest.size() <= text.size() + 1);

    const double zone = ParseZoneOffset(text);
    FUZZ_CHECK(zone > -1 && zone < 1);

    // Whatever the text, the value is a date the program can show; no time-zone failure,
    // since every instant read lies within the calendar.
    const TDateTime local = MailDateToLocal(text);
    FUZZ_CHECK(std::isfinite(local));
    FUZZ_CHECK(local > -693596 && local < 2958468);

    RoundTrip(fuzz::TFuzzInput(data, size));
    return 0;
}
