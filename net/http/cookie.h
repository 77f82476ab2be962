#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel {

// One cookie as a "Set-cookie" header value gave it. The attribute names are matched without
// regard to case; the values are kept as received.
class TNetscapeCookie {
  public:
    virtual ~TNetscapeCookie() = default;

    std::string CookieName;
    std::string Value;
    std::string Path;
    std::string Domain;
    // As received, or worked out from MaxAge; read with MailDateToLocal when expiring.
    std::string Expires;
    bool Secure = false;
    // Seconds; -1 when none was given.
    std::int64_t MaxAge = -1;
    std::string Version;
    std::string Comment;

    // Reads name, value and attributes from a header value; the same text again changes
    // nothing. Raises EConvertError for a malformed port list.
    void ParseCookie(std::string_view AText);

  protected:
    struct TAttribute {
        std::string Name;  // upper-cased
        std::string Value;
    };
    using TAttributes = std::vector<TAttribute>;
    static const std::string* Find(const TAttributes& attributes, std::string_view name);

    virtual void LoadAttributes(const TAttributes& attributes);

  private:
    std::string cookieText_;
    bool parsed_ = false;
};

// From "Set-cookie": also Max-Age, Version and Comment.
class TCookieRFC2109 : public TNetscapeCookie {
  protected:
    void LoadAttributes(const TAttributes& attributes) override;
};

// From "Set-cookie2": also CommentURL, Discard and the ports it is meant for.
class TCookieRFC2965 : public TCookieRFC2109 {
  public:
    std::string CommentURL;
    bool Discard = false;
    std::vector<int> PortList{80};

  protected:
    void LoadAttributes(const TAttributes& attributes) override;
};

enum class TCookieKind { SetCookie, SetCookie2 };

std::unique_ptr<TNetscapeCookie> MakeCookie(TCookieKind kind);

}  // namespace kavrel
