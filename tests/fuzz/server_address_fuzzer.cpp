// An account's "POP Server" text: the host and port read from it, and the address literal the
// connection makes of the host.
#include <string>

#include "net/server_address.h"
#include "net/socket_stack.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    const std::string text(reinterpret_cast<const char*>(data), size);

    const TServerAddress a = ServerAddressOf(text);
    FUZZ_CHECK(a.Port >= 1 && a.Port <= 65535);
    if (a.Host == text) {
        FUZZ_CHECK(a.Port == 110);
    } else {
        // The host is what stands before the last colon, the port every digit after it.
        FUZZ_CHECK(text.size() > a.Host.size() && text.compare(0, a.Host.size(), a.Host) == 0);
        FUZZ_CHECK(text[a.Host.size()] == ':' && !a.Host.empty());
        const std::string digits = text.substr(a.Host.size() + 1);
        FUZZ_CHECK(!digits.empty() && digits.size() <= 5 &&
                   digits.find_first_not_of("0123456789") == std::string::npos);
        FUZZ_CHECK(std::stoi(digits) == a.Port);
    }

    // The connection reads the host as a literal before it asks the resolver.
    if (const auto address = TSocketStack::ParseIPLiteral(a.Host)) {
        FUZZ_CHECK(!a.Host.empty());
    }
    return 0;
}
