#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kavrel {

// The MD5 digest of RFC 1321, as used by the APOP login.
std::array<std::uint8_t, 16> Md5(std::string_view data);

// The digest as 32 lower-case hexadecimal digits.
std::string Md5Hex(std::string_view data);

}  // namespace kavrel
