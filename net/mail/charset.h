#pragma once

#include <string>
#include <string_view>

namespace kavrel {

// Converts bytes in the named character set to UTF-8. A character set the system does not know
// leaves the bytes as they are; bytes that do not convert become U+FFFD.
std::string ConvertToUtf8(std::string_view bytes, std::string_view charset);

}  // namespace kavrel
