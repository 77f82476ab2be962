#include "net/http/http_response.h"

#include <optional>

#include "base/integer.h"
#include "base/strings.h"
#include "net/mail/mail_date.h"

namespace kavrel {
namespace {

std::optional<std::int64_t> Decimal(std::string_view text, std::int64_t max) {
    bool negative = false;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > max) return std::nullopt;
    }
    return negative ? -value : value;
}

std::int64_t IntegerOrRaise(std::string_view text) {
    const auto value = Decimal(text, INT64_MAX / 10);
    if (!value) throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    return *value;
}

// The text before the first delimiter, which is taken off text together with it; all of
// text when it holds no delimiter.
std::string_view Fetch(std::string_view& text, char delimiter) {
    const auto at = text.find(delimiter);
    const std::string_view head = text.substr(0, at);
    text.remove_prefix(at == std::string_view::npos ? text.size() : at + 1);
    return head;
}

}  // namespace

std::vector<std::string> HeaderValues(const THeaderList& headers, std::string_view name) {
    std::vector<std::string> values;
    const auto& lines = headers.Lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto colon = lines[i].find(':');
        if (colon == std::string::npos ||
            !SameText(std::string_view(lines[i]).substr(0, colon), name)) {
            continue;
        }
        std::string value = Trim(std::string_view(lines[i]).substr(colon + 1));
        for (std::size_t j = i + 1; j < lines.size(); ++j) {
            const char first = lines[j].front();
            if (first != ' ' && first != '\t') break;
            value += " " + Trim(lines[j]);
        }
        values.push_back(Trim(value));
    }
    return values;
}

std::int32_t THTTPResponse::StatusCode() const {
    std::string_view rest = StatusLine;
    Fetch(rest, ' ');
    const std::string trimmed = Trim(rest);
    std::string_view code = trimmed;
    const auto value = Decimal(Fetch(code, ' '), INT32_MAX);
    return value ? static_cast<std::int32_t>(*value) : -1;
}

void THTTPResponse::ProcessHeaders() {
    const THeaderList& h = HeaderLines;
    Location = h.HeaderValue("Location");
    Server = h.HeaderValue("Server");
    ProxyConnection = h.HeaderValue("Proxy-Connection");

    ContentRangeStart = 0;
    ContentRangeEnd = 0;
    const std::string range = h.HeaderValue("Content-Range");
    if (!range.empty()) {
        // "bytes 0-499/1234"
        std::string_view rest = range;
        Fetch(rest, ' ');
        ContentRangeStart = IntegerOrRaise(Fetch(rest, '-'));
        ContentRangeEnd = IntegerOrRaise(Fetch(rest, '/'));
    }

    WWWAuthenticate = HeaderValues(h, "WWW-Authenticate");
    ProxyAuthenticate = HeaderValues(h, "Proxy-Authenticate");
    Connection = h.HeaderValue("Connection");
    ContentVersion = h.HeaderValue("Content-Version");
    ContentEncoding = h.HeaderValue("Content-Encoding");
    ContentLanguage = h.HeaderValue("Content-Language");
    ContentType = h.HeaderValue("Content-Type");
    TransferEncoding = h.HeaderValue("Transfer-Encoding");

    const auto length = Decimal(Trim(h.HeaderValue("Content-Length")), INT32_MAX);
    ContentLength = length ? static_cast<std::int32_t>(*length) : -1;
    LengthKnown = ContentLength >= 0;

    Date = MailDateToLocal(h.HeaderValue("Date"));
    LastModified = MailDateToLocal(h.HeaderValue("Last-Modified"));
    const std::string expires = h.HeaderValue("Expires");
    const auto seconds = Decimal(expires, INT32_MAX);
    if (seconds && *seconds != -1) {
        // Seconds from now, within a day: the form a time of day can hold.
        if (*seconds < 0 || *seconds >= 86400)
            throw EConvertError("Invalid argument to time encode");
        Expires = Now() + static_cast<double>(*seconds) / 86400.0;
    } else {
        Expires = MailDateToLocal(expires);
    }
    Pragma = h.HeaderValue("Pragma");
}

}  // namespace kavrel
