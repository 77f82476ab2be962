#include "net/mail/encoded_words.h"

#include <vector>

#include "base/integer.h"
#include "net/mail/charset.h"

namespace kavrel {
namespace {

struct TWord {
    std::size_t length = 0;  // 0: no well-formed word
    std::string_view charset;
    bool q = false;
    std::string_view text;
};

struct TSegment {
    bool encoded = false;
    std::string_view encoding;  // encoded words only; "" for a character set no one knows
    std::string bytes;
};

bool IsAsciiAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// RFC 2047's token, except that "." and ":" may stand in a character set name: the labels
// "ansi_x3.4-1968" and "iso_8859-1:1987" hold them.
bool IsCharsetChar(char c) {
    return c > ' ' && c < 127 &&
           std::string_view("()<>@,;\\\"/[]?=").find(c) == std::string_view::npos;
}

bool IsLanguage(std::string_view s) {
    if (s.empty()) return false;
    for (const char c : s) {
        if (!IsAsciiAlnum(c) && c != '-') return false;
    }
    return true;
}

TWord WordAt(std::string_view s) {
    if (!s.starts_with("=?")) return {};
    std::size_t i = 2;
    while (i < s.size() && IsCharsetChar(s[i])) ++i;
    const std::string_view name = s.substr(2, i - 2);
    const auto star = name.find('*');
    const std::string_view charset = name.substr(0, star);
    if (charset.empty() || (star != std::string_view::npos && !IsLanguage(name.substr(star + 1))))
        return {};
    if (i + 2 >= s.size() || s[i] != '?' || s[i + 2] != '?') return {};
    const char letter = s[i + 1];
    const bool q = letter == 'Q' || letter == 'q';
    if (!q && letter != 'B' && letter != 'b') return {};
    const std::size_t start = i + 3;
    for (i = start; i < s.size() && s[i] != '?'; ++i) {
        const char c = s[i];
        // B text may hold the blanks of a fold that a sender broke inside the word.
        const bool b64 = IsAsciiAlnum(c) || c == '+' || c == '/' || c == '=';
        if (q ? (c <= ' ' || c >= 127) : !(b64 || c == ' ' || c == '\t')) return {};
    }
    if (i + 1 >= s.size() || s[i + 1] != '=') return {};
    return {i + 2, charset, q, s.substr(start, i - start)};
}

// An "=" that does not start two hexadecimal digits stays as typed: senders write
// "100=_sure" and mean the "=".
std::string DecodeQ(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const int hi = c == '=' && i + 2 < text.size() ? HexDigitValue(text[i + 1]) : -1;
        const int lo = hi < 0 ? -1 : HexDigitValue(text[i + 2]);
        if (lo >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += c == '_' ? ' ' : c;
        }
    }
    return out;
}

// Base64 as mail clients have long decoded it: "=" counts as 0 and a short last group is
// ignored. The closing "?=" takes part, which completes a group that lacks its padding.
std::string DecodeB(std::string_view text) {
    static constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string s;
    s.reserve(text.size() + 2);
    for (const char c : text) {
        if (c != ' ' && c != '\t') s += c;
    }
    s += "?=";
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
    std::size_t p = 0;
    while ((p = text.find("=?", p)) != std::string_view::npos) {
        const TWord word = WordAt(text.substr(p));
        if (word.length == 0) {
            ++p;
            continue;
        }
        const TCharset charset = ResolveCharset(word.charset);
        if (charset.Kind == TCharset::TKind::Refused) {
            p += word.length;
            continue;
        }
        if (p > literalStart) {
            segments.push_back(
                {false, {}, std::string(text.substr(literalStart, p - literalStart))});
        }
        segments.push_back(
            {true, charset.Encoding, word.q ? DecodeQ(word.text) : DecodeB(word.text)});
        p = literalStart = p + word.length;
    }
    if (literalStart < text.size())
        segments.push_back({false, {}, std::string(text.substr(literalStart))});
    return segments;
}

}  // namespace

std::size_t EncodedWordLength(std::string_view text) { return WordAt(text).length; }

std::string DecodeEncodedWords(std::string_view text) {
    std::vector<TSegment> segments = Split(text);

    // Join adjacent encoded words: drop the white space between them, and append the bytes of
    // a word to the one before when both name the same encoding.
    std::vector<TSegment> joined;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        TSegment& s = segments[i];
        if (!s.encoded && IsWhiteSpace(s.bytes) && i > 0 && i + 1 < segments.size() &&
            segments[i - 1].encoded && segments[i + 1].encoded) {
            continue;
        }
        if (s.encoded && !joined.empty() && joined.back().encoded &&
            joined.back().encoding == s.encoding) {
            joined.back().bytes += s.bytes;
            continue;
        }
        joined.push_back(std::move(s));
    }

    TUtf8Converter converter;
    std::string out;
    for (const TSegment& s : joined) {
        const bool convert = s.encoded && !s.encoding.empty();
        out += convert ? converter.Convert(WithoutZeros(s.bytes), s.encoding) : s.bytes;
    }
    return WithoutZeros(std::move(out));
}

}  // namespace kavrel
