#include "base/base64.h"

#include <array>
#include <cstdint>

namespace kavrel {
namespace {

constexpr std::string_view kStandard =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kUrlSafe =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

std::string Encode(std::string_view bytes, std::string_view alphabet, bool pad) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group = std::uint32_t(std::uint8_t(bytes[i])) << 16 |
                                    std::uint32_t(std::uint8_t(bytes[i + 1])) << 8 |
                                    std::uint8_t(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6) out += alphabet[(group >> shift) & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t group = std::uint32_t(std::uint8_t(bytes[i])) << 16;
        if (rest == 2) group |= std::uint32_t(std::uint8_t(bytes[i + 1])) << 8;
        out += alphabet[(group >> 18) & 63];
        out += alphabet[(group >> 12) & 63];
        if (rest == 2) out += alphabet[(group >> 6) & 63];
        if (pad) out.append(3 - rest, '=');
    }
    return out;
}

// Decodes unpadded text; a length of 1 modulo 4 cannot come from any input.
std::optional<std::string> Decode(std::string_view text, std::string_view alphabet) {
    std::array<int, 256> value;
    value.fill(-1);
    for (std::size_t i = 0; i < alphabet.size(); ++i) value[std::uint8_t(alphabet[i])] = int(i);
    if (text.size() % 4 == 1) return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3 + 2);
    std::uint32_t group = 0;
    int bits = 0;
    for (const char c : text) {
        const int v = value[std::uint8_t(c)];
        if (v < 0) return std::nullopt;
        group = (group << 6) | std::uint32_t(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += char((group >> bits) & 0xFF);
        }
    }
    // The bits left over must be zero, or two texts would decode to the same bytes.
    if ((group & ((1u << bits) - 1)) != 0) return std::nullopt;
    return out;
}

std::string_view WithoutPadding(std::string_view text) {
    std::size_t pads = 0;
    while (pads < 2 && pads < text.size() && text[text.size() - 1 - pads] == '=') ++pads;
    return text.substr(0, text.size() - pads);
}

}  // namespace

std::string Base64Encode(std::string_view bytes) { return Encode(bytes, kStandard, true); }

std::optional<std::string> Base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    return Decode(WithoutPadding(text), kStandard);
}

std::string Base64UrlEncode(std::string_view bytes) { return Encode(bytes, kUrlSafe, false); }

}  // namespace kavrel
