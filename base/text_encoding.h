#pragma once

#include <string>
#include <string_view>

namespace kavrel {

// The one conversion of byte strings into text for display: every valid UTF-8 sequence is
// kept, and every other byte is read as Windows-1252 (the code page mail without a declared
// charset was written in). NUL becomes U+FFFD so that no C-string consumer cuts the text short.
std::string ToUtf8(std::string_view bytes);

}  // namespace kavrel
