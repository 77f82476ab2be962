// Date header texts: the date and time, the zone, and the local value made of them.
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include "net/mail/mail_date.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A zone with daylight saving time, so both offsets and the switches are reached.
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
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
    return 0;
}
