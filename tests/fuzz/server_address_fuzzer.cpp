// An account's "POP Server" text: the host, port and TLS mode read from it, and the address literal
// the connection makes of the host.
#include <string>
#include <string_view>

#include "base/strings.h"
#include "net/pop3/server_address.h"
#include "net/transport/socket_stack.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    const std::string text(reinterpret_cast<const char*>(data), size);

    const TServerAddress a = ServerAddressOf(text);
    FUZZ_CHECK(a.Port >= 1 && a.Port <= 65535);
    std::string_view rest = text;
    const auto prefixed = [&rest](std::string_view prefix) {
        if (!StartsText(rest, prefix)) return false;
        rest.remove_prefix(prefix.size());
        return true;
    };
    const bool implicit = prefixed("pop3s://");
    const bool plain = !implicit && prefixed("pop3://");
    constexpr std::string_view required = "?tls=required";
    const bool strict = plain && rest.size() >= required.size() &&
                        SameText(rest.substr(rest.size() - required.size()), required);
    if (strict) rest.remove_suffix(required.size());

    if (a.Host == rest) {
        FUZZ_CHECK(a.Port == (implicit ? 995 : 110));
    } else {
        // The host is what stands before the last colon, the port every digit after it.
        FUZZ_CHECK(rest.size() > a.Host.size() && rest.substr(0, a.Host.size()) == a.Host);
        FUZZ_CHECK(rest[a.Host.size()] == ':' && !a.Host.empty());
        const std::string digits(rest.substr(a.Host.size() + 1));
        FUZZ_CHECK(!digits.empty() && digits.size() <= 5 &&
                   digits.find_first_not_of("0123456789") == std::string::npos);
        FUZZ_CHECK(std::stoi(digits) == a.Port);
    }
    const TTLSMode tls = implicit || (!plain && a.Port == 995) ? TTLSMode::tmImplicit
                         : strict                              ? TTLSMode::tmRequired
                                                               : TTLSMode::tmWhenOffered;
    FUZZ_CHECK(a.TLS == tls);

    // The connection reads the host as a literal before it asks the resolver.
    if (const auto address = TSocketStack::ParseIPLiteral(a.Host)) {
        FUZZ_CHECK(!a.Host.empty());
    }
    return 0;
}
