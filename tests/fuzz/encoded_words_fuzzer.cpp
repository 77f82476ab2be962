// Encoded words of a header value, decoded into UTF-8.
#include <string>
#include <string_view>

#include "net/mail/encoded_words.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::string WithoutZeros(std::string_view text) {
    std::string s(text);
    std::erase(s, '\0');
    return s;
}

std::string Base64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
    }
    return out;
}

std::string QEncoded(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += '=';
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kavrel::DecodeEncodedWords;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string decoded = DecodeEncodedWords(text);
    FUZZ_CHECK(decoded.find('\0') == std::string::npos);

    // Text that holds no well-formed word stays as typed.
    bool word = false;
    for (auto p = text.find("=?"); p != std::string_view::npos && !word; p = text.find("=?", p + 1))
        word = kavrel::EncodedWordLength(text.substr(p)) > 0;
    if (!word) FUZZ_CHECK(decoded == WithoutZeros(text));

    // Any bytes, encoded in either way in a character set no one knows, come back unchanged.
    const std::string plain = WithoutZeros(text);
    FUZZ_CHECK(DecodeEncodedWords("=?x-fuzz?B?" + Base64(text) + "?=") == plain);
    FUZZ_CHECK(DecodeEncodedWords("=?x-fuzz?q?" + QEncoded(text) + "?=") == plain);
    return 0;
}
