#pragma once

#include <string>
#include <string_view>

namespace kavrel {

// The part of SASLprep (RFC 4013) that decides whether a password typed on one keyboard
// matches the one stored from another: non-ASCII spaces become SPACE and the characters
// "commonly mapped to nothing" (RFC 3454 B.1) go. Pure ASCII, and text that is not UTF-8,
// come back unchanged. Not done: NFKC normalization, and the refusal of prohibited and
// bidirectional characters.
std::string SASLPrep(std::string_view AText);

}  // namespace kavrel
