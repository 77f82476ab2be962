#pragma once

#include <iconv.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kavrel {

// What the charset label of an encoded word names.
struct TCharset {
    enum class TKind {
        Known,    // Encoding names the decoder
        Unknown,  // a label no table knows: the bytes are kept as they are
        Refused,  // a label that must not be decoded in a header: the word stays as typed
    };
    TKind Kind = TKind::Unknown;
    std::string_view Encoding;
};

// Resolves a label as the WHATWG Encoding Standard maps labels (any case, blanks around it
// ignored), with a few aliases of its encodings that mail programs write.
TCharset ResolveCharset(std::string_view label);

// Converts bytes of a known encoding to UTF-8; bytes that do not convert become U+FFFD. Keeps
// its decoders open, so that a header of many words opens each one once.
class TUtf8Converter {
  public:
    TUtf8Converter() = default;
    TUtf8Converter(const TUtf8Converter&) = delete;
    TUtf8Converter& operator=(const TUtf8Converter&) = delete;
    ~TUtf8Converter();

    // encoding: a name ResolveCharset gave, which lives as long as the program.
    std::string Convert(std::string_view bytes, std::string_view encoding);

  private:
    iconv_t Open(std::string_view encoding);
    std::vector<std::pair<std::string_view, iconv_t>> open_;
};

}  // namespace kavrel
