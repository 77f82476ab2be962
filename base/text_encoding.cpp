#include "base/text_encoding.h"

#include <cstddef>
#include <cstdint>

namespace kavrel {
namespace {

// Windows-1252 at 0x80 to 0x9F; the five unassigned bytes show as U+FFFD.
constexpr char16_t kHigh[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

}  // namespace

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | code >> 6);
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | code >> 12);
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | code >> 18);
        out += char(0x80 | (code >> 12 & 0x3F));
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

std::size_t Utf8SequenceLength(std::string_view s, std::size_t p) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = at(p);
    std::size_t n;
    unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (p + n > s.size()) return 0;
    if (at(p + 1) < lo || at(p + 1) > hi) return 0;
    for (std::size_t i = 2; i < n; ++i) {
        if (at(p + i) < 0x80 || at(p + i) > 0xBF) return 0;
    }
    return n;
}

std::string ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t p = 0; p < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[p]);
        if (c == 0) {
            AppendUtf8(out, 0xFFFD);
            ++p;
        } else if (c < 0x80) {
            out += char(c);
            ++p;
        } else if (const std::size_t n = Utf8SequenceLength(bytes, p)) {
            out.append(bytes.substr(p, n));
            p += n;
        } else {
            AppendUtf8(out, c < 0xA0 ? kHigh[c - 0x80] : c);
            ++p;
        }
    }
    return out;
}

}  // namespace kavrel
