#include "net/oauth/form_fields.h"

#include "base/integer.h"

namespace kavrel {
namespace {

std::string Decode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
                   HexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// Every byte but the unreserved ones of RFC 3986 (letters, digits, "-._~") as %XX.
std::string PercentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
            b == '-' || b == '.' || b == '_' || b == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    return out;
}

}  // namespace

std::string FormEncode(const TFormFields& fields) {
    std::string out;
    for (const auto& [name, value] : fields) {
        if (!out.empty()) out += '&';
        out += PercentEncode(name) + "=" + PercentEncode(value);
    }
    return out;
}

TFormFields ParseForm(std::string_view text) {
    TFormFields fields;
    while (!text.empty()) {
        const std::size_t amp = text.find('&');
        const std::string_view pair = text.substr(0, amp);
        text.remove_prefix(amp == std::string_view::npos ? text.size() : amp + 1);
        if (pair.empty()) continue;
        const std::size_t eq = pair.find('=');
        if (eq == std::string_view::npos) {
            fields.emplace_back(Decode(pair), "");
        } else {
            fields.emplace_back(Decode(pair.substr(0, eq)), Decode(pair.substr(eq + 1)));
        }
    }
    return fields;
}

std::optional<std::string> FieldValue(const TFormFields& fields, std::string_view name) {
    for (const auto& [key, value] : fields)
        if (key == name) return value;
    return std::nullopt;
}

}  // namespace kavrel
