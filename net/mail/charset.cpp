#include "net/mail/charset.h"

#include <iconv.h>

#include <cerrno>

namespace kavrel {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

class TIconv {
  public:
    explicit TIconv(const std::string& from) : cd_(iconv_open("UTF-8", from.c_str())) {}
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;
    ~TIconv() {
        if (valid()) iconv_close(cd_);
    }
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

}  // namespace

std::string ConvertToUtf8(std::string_view bytes, std::string_view charset) {
    // RFC 2231 allows a language after the name: 'UTF-8*en'.
    std::string name(charset.substr(0, charset.find('*')));
    if (name.empty()) return std::string(bytes);
    TIconv cd(name);
    if (!cd.valid()) return std::string(bytes);

    std::string out;
    out.reserve(bytes.size() * 2 + 16);
    char buffer[1024];
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t r = iconv(cd.get(), &in, &inLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        // EILSEQ: a byte that does not convert; EINVAL: a sequence cut off at the end.
        out += kReplacement;
        if (errno == EINVAL) break;
        ++in;
        --inLeft;
    }
    return out;
}

}  // namespace kavrel
