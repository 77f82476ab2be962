#include "core/delete_link.h"

#include <algorithm>

#include "base/integer.h"

namespace kavrel {

std::optional<std::int32_t> DeleteLinkRow(std::string_view src) {
    if (!src.starts_with("delete")) return std::nullopt;
    const std::string_view number = src.size() > 7 ? src.substr(7) : std::string_view{};
    // Decimal only: the integer reader also takes "$" and "0x" hexadecimal, which no link of
    // ours holds.
    const std::string_view digits =
        !number.empty() && (number[0] == '-' || number[0] == '+') ? number.substr(1) : number;
    const bool decimal = !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    if (!decimal) return 0;
    return TryStrToInt(number).value_or(0);
}

bool ActOnDeleteLink(std::string_view src, const std::function<void(std::int32_t)>& deleteMessage) {
    const std::optional<std::int32_t> row = DeleteLinkRow(src);
    if (!row) return false;
    if (*row > 0) deleteMessage(*row);
    return true;
}

}  // namespace kavrel
