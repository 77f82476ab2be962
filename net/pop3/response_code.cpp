#include "net/pop3/response_code.h"

#include "base/strings.h"

namespace kavrel {

TResponseCode ResponseCodeOf(std::string_view AText) {
    std::size_t at = 0;
    while (at < AText.size() && IsBlank(AText[at])) ++at;
    if (at == AText.size() || AText[at] != '[') return TResponseCode::None;
    const std::size_t close = AText.find(']', at);
    if (close == std::string_view::npos) return TResponseCode::None;
    // Codes are hierarchical: [SYS/TEMP/QUOTA] would still be a passing fault.
    const std::string_view code = AText.substr(at + 1, close - at - 1);
    const auto is = [&](std::string_view name) {
        return SameText(code.substr(0, name.size()), name) &&
               (code.size() == name.size() || code[name.size()] == '/');
    };
    if (is("LOGIN-DELAY")) return TResponseCode::LoginDelay;
    if (is("IN-USE")) return TResponseCode::InUse;
    if (is("SYS/TEMP")) return TResponseCode::SysTemp;
    if (is("SYS/PERM")) return TResponseCode::SysPerm;
    if (is("AUTH")) return TResponseCode::Auth;
    return TResponseCode::None;
}

}  // namespace kavrel
