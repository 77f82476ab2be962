#pragma once

#include <string>
#include <string_view>

namespace kavrel {

// Decodes the encoded words ("=?charset?Q?...?=" and "=?charset?B?...?=") of a header value
// into UTF-8. White space between two adjacent encoded words is dropped, and adjacent words of
// one character set are joined before conversion, so a character split across them survives.
// Zero bytes are removed. A malformed word stays as it is; a Q escape that is not hexadecimal
// raises EConvertError "'$ZZ' is not a valid integer value".
std::string DecodeEncodedWords(std::string_view text);

}  // namespace kavrel
