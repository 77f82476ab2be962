#include "net/transport/rfc_reply.h"

#include <limits>

#include "base/strings.h"

namespace kavrel {
namespace {

// Digits only: "+OK" and "-ERR" have no number and give 0.
std::int32_t DecimalCode(const std::string& code) {
    std::int64_t value = 0;
    for (const char c : code) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<std::int32_t>::max()) return 0;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

void TRFCReply::Clear() {
    NumericCode = 0;
    TextCode.clear();
    Text.clear();
}

void TRFCReply::SetReply(const std::vector<std::string>& lines) {
    Clear();
    if (lines.empty()) return;
    std::string code = Trim(std::string_view(lines.front()).substr(0, 4));
    if (code.size() == 4 && code.back() == '-') code.pop_back();
    TextCode = code;
    if (!code.empty()) NumericCode = DecimalCode(code);
    for (const auto& line : lines) Text.push_back(line.size() > 4 ? line.substr(4) : "");
}

std::string TRFCReply::FormattedText() const {
    std::string text;
    for (const auto& line : Text) text += line + "\r\n";
    return text;
}

}  // namespace kavrel
