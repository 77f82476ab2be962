#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kavrel {

// Decodes the encoded words of RFC 2047 ("=?charset?Q?...?=", "=?charset?B?...?=", with an
// RFC 2231 language after "*") of a header value into UTF-8. Only a well-formed word whose
// character set may be decoded is a word; any other text stays as typed. White space between
// two adjacent words is dropped, and adjacent words of one character set are joined before
// conversion, so a character split across them survives. Zero bytes are removed. Never raises.
std::string DecodeEncodedWords(std::string_view text);

// The length of the well-formed encoded word at the start of text; 0 when none starts there.
std::size_t EncodedWordLength(std::string_view text);

}  // namespace kavrel
