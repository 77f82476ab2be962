#include "net/http/cookie.h"

#include <optional>

#include "base/date_time.h"
#include "base/integer.h"
#include "base/strings.h"
#include "config/utils.h"
#include "net/http/http_date.h"

namespace kavrel {
namespace {

std::vector<std::string> SplitParts(std::string_view text) {
    const char separator = text.find(';') != std::string_view::npos ? ';' : '\n';
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const auto at = text.find(separator, from);
        std::string part = Trim(text.substr(from, at == std::string_view::npos ? at : at - from));
        if (!part.empty() || parts.empty()) parts.push_back(std::move(part));
        if (at == std::string_view::npos) break;
        from = at + 1;
    }
    return parts;
}

std::optional<std::int64_t> Decimal(std::string_view text) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (i == text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return text[0] == '-' ? -value : value;
}

}  // namespace

const std::string* TNetscapeCookie::Find(const TAttributes& attributes, std::string_view name) {
    for (const TAttribute& a : attributes) {
        if (a.Name == name) return &a.Value;
    }
    return nullptr;
}

void TNetscapeCookie::ParseCookie(std::string_view AText) {
    if (parsed_ && AText == cookieText_) return;
    cookieText_ = std::string(AText);
    parsed_ = true;

    const std::vector<std::string> parts = SplitParts(AText);
    const std::string& first = parts.front();
    const auto equals = first.find('=');
    CookieName = equals == std::string::npos ? std::string() : first.substr(0, equals);
    Value = equals == std::string::npos ? std::string() : first.substr(equals + 1);

    TAttributes attributes;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        const auto at = part.find('=');
        // "path = /" means what "path=/" means.
        if (at == std::string::npos)
            attributes.push_back({UpperCase(part), {}});
        else
            attributes.push_back({UpperCase(Trim(part.substr(0, at))), Trim(part.substr(at + 1))});
    }
    LoadAttributes(attributes);
}

void TNetscapeCookie::LoadAttributes(const TAttributes& attributes) {
    const std::string* path = Find(attributes, "PATH");
    Path = path ? StripQuotes(*path) : std::string();
    const std::string* expires = Find(attributes, "EXPIRES");
    Expires = expires ? *expires : std::string();
    const std::string* domain = Find(attributes, "DOMAIN");
    Domain = domain ? *domain : std::string();
    Secure = Find(attributes, "SECURE") != nullptr;
}

void TCookieRFC2109::LoadAttributes(const TAttributes& attributes) {
    TNetscapeCookie::LoadAttributes(attributes);
    const std::string* maxAge = Find(attributes, "MAX-AGE");
    MaxAge = maxAge ? Decimal(*maxAge).value_or(-1) : -1;
    const std::string* version = Find(attributes, "VERSION");
    Version = version ? *version : std::string();
    const std::string* comment = Find(attributes, "COMMENT");
    Comment = comment ? *comment : std::string();
    if (!Find(attributes, "EXPIRES") && MaxAge >= 0) {
        // Beyond the calendar a cookie simply lasts as long as the store.
        const double seconds = static_cast<double>(MaxAge);
        if (seconds < 86400.0 * 365 * 1000) Expires = HttpDateText(Now() + seconds / 86400.0);
    }
}

void TCookieRFC2965::LoadAttributes(const TAttributes& attributes) {
    TCookieRFC2109::LoadAttributes(attributes);
    const std::string* url = Find(attributes, "COMMENTURL");
    CommentURL = url ? *url : std::string();
    Discard = Find(attributes, "DISCARD") != nullptr;
    PortList.clear();
    if (const std::string* ports = Find(attributes, "PORT")) {
        std::string list = *ports;
        if (list.size() >= 2 && list.front() == '"' && list.back() == '"')
            list = list.substr(1, list.size() - 2);
        std::size_t from = 0;
        while (!list.empty()) {
            const auto comma = list.find(',', from);
            const std::string part = Trim(std::string_view(list).substr(
                from, comma == std::string::npos ? std::string::npos : comma - from));
            const auto port = Decimal(part);
            if (!port || *port < 0 || *port > 65535)
                throw EConvertError("'" + part + "' is not a valid integer value");
            PortList.push_back(static_cast<int>(*port));
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
    }
    if (PortList.empty()) PortList.push_back(80);
}

std::unique_ptr<TNetscapeCookie> MakeCookie(TCookieKind kind) {
    if (kind == TCookieKind::SetCookie2) return std::make_unique<TCookieRFC2965>();
    return std::make_unique<TCookieRFC2109>();
}

}  // namespace kavrel
