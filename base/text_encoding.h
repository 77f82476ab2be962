#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kavrel {

// The one conversion of byte strings into text for display: every valid UTF-8 sequence is
// kept, and every other byte is read as Windows-1252 (the code page mail without a declared
// charset was written in). NUL becomes U+FFFD so that no C-string consumer cuts the text short.
std::string ToUtf8(std::string_view bytes);

// The UTF-8 form of a code point (at most U+10FFFF, not a surrogate), appended to out.
void AppendUtf8(std::string& out, char32_t code);

// The length of the well-formed multi-byte UTF-8 sequence at text[at] (RFC 3629: no overlong
// forms, no surrogates, nothing past U+10FFFF), 0 where there is none; ASCII is none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

}  // namespace kavrel
