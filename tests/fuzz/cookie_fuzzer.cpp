// "Set-cookie" and "Set-cookie2" values, parsed alone and taken into the store.
//
// Input: one option byte (bit 0: Set-cookie2), the host that sent the cookie on a line of its
// own, then the header value.
#include <string>
#include <string_view>

#include "base/integer.h"
#include "net/http/cookie.h"
#include "net/http/cookie_manager.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    fuzz::TFuzzInput input(data, size);
    const TCookieKind kind = (input.Byte() & 1) ? TCookieKind::SetCookie2 : TCookieKind::SetCookie;
    const std::string host(input.Line());
    const std::string_view text = input.Rest();
    try {
        const auto cookie = MakeCookie(kind);
        cookie->ParseCookie(text);
        const std::string name = cookie->CookieName;
        const std::string value = cookie->Value;
        const std::string path = cookie->Path;
        // The same text again changes nothing.
        cookie->ParseCookie(text);
        FUZZ_CHECK(cookie->CookieName == name && cookie->Value == value && cookie->Path == path);

        TCookieManager store;
        store.TakeCookie(text, host, kind);
        store.TakeCookie(text, host, kind);
        // One value is one cookie, however often it comes.
        FUZZ_CHECK(store.CookieCount() <= 1);
        TURI target;
        target.ParseUri("http://" + host + "/files/setup.exe");
        store.CookieTextFor(target, false);
        store.DropExpired();
    } catch (const EConvertError&) {
    }
    return 0;
}
