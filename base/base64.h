#pragma once

#include <optional>
#include <string>
#include <string_view>

// Base64 of RFC 4648: the standard alphabet with padding (section 4), and the URL-safe one
// without padding (section 5) that OAuth uses for PKCE. Decoding is strict: a protocol peer
// that sends anything else has sent garbage, unlike the lenient decoding of mail bodies.
namespace kavrel {

std::string Base64Encode(std::string_view bytes);
// nullopt for a character outside the alphabet, a length that is not a multiple of 4, or
// padding anywhere but at the end.
std::optional<std::string> Base64Decode(std::string_view text);

std::string Base64UrlEncode(std::string_view bytes);

}  // namespace kavrel
