#include "net/mail/encoded_words.h"

#include <vector>

#include "base/integer.h"
#include "base/strings.h"
#include "net/mail/charset.h"

namespace kavrel {
namespace {

struct TSegment {
    bool encoded = false;
    std::string charset;  // encoded words only
    std::string bytes;
};

std::string DecodeQ(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            out += ' ';
        } else if (c == '=' && i + 2 < text.size()) {
            const int hi = HexDigitValue(text[i + 1]);
            const int lo = HexDigitValue(text[i + 2]);
            if (hi < 0 || lo < 0) {
                throw EConvertError("'$" + std::string(text.substr(i + 1, 2)) +
                                    "' is not a valid integer value");
            }
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += c;  // also an "=" too near the end to start an escape
        }
    }
    return out;
}

// Base64 as mail clients have long decoded it: characters outside the alphabet count as 0 and
// a short last group is ignored. The closing "?=" takes part, which completes a group that
// lacks its padding.
std::string DecodeB(std::string_view text) {
    static constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string s = std::string(text) + "?=";
    auto value = [](char c) {
        const auto at = kAlphabet.find(c);
        return at == std::string_view::npos ? 0u : static_cast<unsigned>(at);
    };
    std::string out;
    for (std::size_t i = 0; i + 4 <= s.size(); i += 4) {
        const unsigned x1 = value(s[i]), x2 = value(s[i + 1]), x3 = value(s[i + 2]),
                       x4 = value(s[i + 3]);
        out += static_cast<char>((4 * x1 + x2 / 16) % 256);
        out += static_cast<char>((16 * x2 + x3 / 4) % 256);
        out += static_cast<char>((64 * x3 + x4) % 256);
    }
    return out;
}

std::string WithoutZeros(std::string s) {
    std::erase(s, '\0');
    return s;
}

bool IsWhiteSpace(std::string_view s) {
    for (const char c : s) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    }
    return true;
}

std::vector<TSegment> Split(std::string_view text) {
    std::vector<TSegment> segments;
    std::size_t literalStart = 0;
    std::size_t pos = 0;
    for (;;) {
        const auto p = text.find("=?", pos);
        if (p == std::string_view::npos) break;
        const auto q1 = text.find('?', p + 2);
        const auto q2 = q1 == std::string_view::npos ? q1 : text.find('?', q1 + 1);
        const auto e = q2 == std::string_view::npos ? q2 : text.find("?=", q2 + 1);
        // No later word can be complete either: every one of them would end past this point.
        if (e == std::string_view::npos) break;
        const std::string_view encoded = text.substr(q2 + 1, e - q2 - 1);
        const char letter = text[q1 + 1];
        TSegment word{true, std::string(text.substr(p + 2, q1 - p - 2)),
                      (letter == 'Q' || letter == 'q') ? DecodeQ(encoded) : DecodeB(encoded)};
        if (p > literalStart) {
            segments.push_back(
                {false, {}, std::string(text.substr(literalStart, p - literalStart))});
        }
        segments.push_back(std::move(word));
        pos = literalStart = e + 2;
    }
    if (literalStart < text.size())
        segments.push_back({false, {}, std::string(text.substr(literalStart))});
    return segments;
}

}  // namespace

std::string DecodeEncodedWords(std::string_view text) {
    std::vector<TSegment> segments = Split(text);

    // Join adjacent encoded words: drop the white space between them, and append the bytes of
    // a word to the one before when both name the same character set.
    std::vector<TSegment> joined;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        TSegment& s = segments[i];
        if (!s.encoded && IsWhiteSpace(s.bytes) && i > 0 && i + 1 < segments.size() &&
            segments[i - 1].encoded && segments[i + 1].encoded) {
            continue;
        }
        if (s.encoded && !joined.empty() && joined.back().encoded &&
            SameText(joined.back().charset, s.charset)) {
            joined.back().bytes += s.bytes;
            continue;
        }
        joined.push_back(std::move(s));
    }

    std::string out;
    for (const TSegment& s : joined) {
        out += s.encoded ? ConvertToUtf8(WithoutZeros(s.bytes), s.charset) : s.bytes;
    }
    return WithoutZeros(std::move(out));
}

}  // namespace kavrel
