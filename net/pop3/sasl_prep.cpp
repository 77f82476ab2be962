#include "net/pop3/sasl_prep.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/text_encoding.h"

namespace kavrel {
namespace {

// RFC 3454 C.1.2.
bool IsNonAsciiSpace(char32_t c) {
    return c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200B) || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

// RFC 3454 B.1.
bool MapsToNothing(char32_t c) {
    return c == 0x00AD || c == 0x034F || c == 0x1806 || (c >= 0x180B && c <= 0x180D) ||
           (c >= 0x200C && c <= 0x200D) || c == 0x2060 || (c >= 0xFE00 && c <= 0xFE0F) ||
           c == 0xFEFF;
}

// The code points of well-formed UTF-8, none for anything else.
std::optional<std::vector<char32_t>> DecodeUtf8(std::string_view text) {
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) return std::nullopt;
        char32_t c = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) c = c << 6 | (text[i + k] & 0x3F);
        out.push_back(c);
        i += length;
    }
    return out;
}

}  // namespace

std::string SASLPrep(std::string_view AText) {
    if (std::all_of(AText.begin(), AText.end(), [](char c) { return (c & 0x80) == 0; })) {
        return std::string(AText);
    }
    const auto chars = DecodeUtf8(AText);
    if (!chars) return std::string(AText);
    std::string out;
    for (const char32_t c : *chars) {
        // U+200B is in both tables; the space mapping comes first in RFC 4013.
        if (IsNonAsciiSpace(c)) {
            out += ' ';
        } else if (!MapsToNothing(c)) {
            AppendUtf8(out, c);
        }
    }
    return out;
}

}  // namespace kavrel
