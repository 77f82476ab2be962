#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kavrel {

// Raised by StrToInt with the text "'<value>' is not a valid integer value".
class EConvertError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The whole text must form a signed 32-bit integer: optional leading blanks, an optional
// sign, then decimal digits, or hexadecimal digits after "$" or "0x". Anything else,
// trailing characters and overflow included, gives nothing.
std::optional<std::int32_t> TryStrToInt(std::string_view text);

std::int32_t StrToInt(std::string_view text);

// Only decimal digits, as protocols write their numbers (no blank, sign or "$"), up to the
// largest signed 32-bit value.
std::optional<std::int32_t> TryDecimalToInt(std::string_view text);

// 0 to 15 for a hexadecimal digit of either case, -1 for anything else.
int HexDigitValue(char c);

// Decimal, with a minus sign when negative.
std::string IntToStr(std::int64_t value);

}  // namespace kavrel
