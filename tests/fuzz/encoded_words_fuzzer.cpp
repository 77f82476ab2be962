// Encoded words of a header value, decoded into UTF-8.
#include <string>
#include <string_view>

#include "base/integer.h"
#include "net/mail/encoded_words.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string decoded;
    try {
        decoded = kavrel::DecodeEncodedWords(text);
    } catch (const kavrel::EConvertError&) {
        return 0;
    }
    FUZZ_CHECK(decoded.find('\0') == std::string::npos);
    if (text.find("=?") == std::string_view::npos) {
        std::string plain(text);
        std::erase(plain, '\0');
        FUZZ_CHECK(decoded == plain);
    }
    return 0;
}
