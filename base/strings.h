#pragma once

#include <string>
#include <string_view>

// Byte-string helpers. Text is handled as bytes: trimming removes codes 0 to 32 and
// case changes touch only the letters a to z, so multi-byte UTF-8 passes through unchanged.
namespace kavrel {

std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);

// Case-insensitive equality over a to z only.
bool SameText(std::string_view a, std::string_view b);
// Whether text begins with prefix, compared as SameText does.
bool StartsText(std::string_view text, std::string_view prefix);

inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace kavrel
