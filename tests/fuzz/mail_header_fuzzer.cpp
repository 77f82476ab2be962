// A whole header block as TOP brings it: lines split at LF with the CR before it taken off,
// then every field filled from them.
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "net/mail/mail_date.h"
#include "net/mail/mail_message.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    fuzz::TFuzzInput input(data, size);
    TMailMessage m;
    while (!input.Empty()) {
        std::string line(input.Line());
        if (!line.empty() && line.back() == '\r') line.pop_back();
        m.HeaderLines.Add(std::move(line));
    }
    for (const std::string& line : m.HeaderLines.Lines()) FUZZ_CHECK(!line.empty());
    m.FillFromHeaders();
    FUZZ_CHECK(std::isfinite(m.Date));
    FUZZ_CHECK(m.Subject.find('\0') == std::string::npos);
    FUZZ_CHECK(m.From.Name.find('\0') == std::string::npos);
    for (const auto& item : m.Recipients) FUZZ_CHECK(!item.Address.empty() || !item.Name.empty());
    FUZZ_CHECK(m.ParseError.empty() || m.ParseError == "@ Outside address");

    // The sender's address is parsed before anything is decoded, so decoding cannot change it.
    TEMailAddressItem raw;
    try {
        raw.Text(m.HeaderLines.HeaderValue("From"));
    } catch (const EEmailParseError&) {
    }
    FUZZ_CHECK(m.From.Address == raw.Address);

    // The check's mode reads its fields, and fails, as the full fill does.
    TMailMessage three;
    three.HeaderLines = m.HeaderLines;
    three.FillFromHeaders(TMailMessage::TFields::FromAddressSubjectDate);
    FUZZ_CHECK(three.From.Address == m.From.Address && three.Subject == m.Subject);
    FUZZ_CHECK(three.Date == m.Date && three.ParseError == m.ParseError);
    return 0;
}
