#pragma once

#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/http/cookie.h"
#include "net/http/uri.h"

namespace kavrel {

// The cookies of one domain in the order they were stored. A name occurs once, whatever the
// path.
class TCookieList {
  public:
    // Looked up without regard to case.
    TNetscapeCookie* Find(std::string_view name) const;
    std::size_t Count() const { return cookies_.size(); }
    const TNetscapeCookie& operator[](std::size_t i) const { return *cookies_[i]; }

    // A cookie whose name is already here takes the old one's place.
    void Store(std::unique_ptr<TNetscapeCookie> cookie);
    // Removes every cookie for which expired is true.
    void RemoveIf(const std::function<bool(const TNetscapeCookie&)>& expired);

  private:
    std::vector<std::unique_ptr<TNetscapeCookie>> cookies_;
};

// Every cookie, by domain; the domains keep the order in which they first came and are
// compared without regard to case.
class TCookies {
  public:
    TCookieList* Find(std::string_view domain);
    const TCookieList* Find(std::string_view domain) const;
    TCookieList& FindOrAdd(const std::string& domain);
    std::size_t DomainCount() const { return domains_.size(); }
    const std::string& Domain(std::size_t i) const { return domains_[i].first; }
    TCookieList& List(std::size_t i) { return domains_[i].second; }
    const TCookieList& List(std::size_t i) const { return domains_[i].second; }
    std::size_t CookieCount() const;

  private:
    std::vector<std::pair<std::string, TCookieList>> domains_;
};

// Whether a server at host may set a cookie for the cookie's Domain: a host sets cookies for
// itself, or for the domain it is in when the cookie names that domain with a leading dot.
bool DomainAllowed(const TNetscapeCookie& ACookie, std::string_view AHost);

// The cookies an HTTP client has been given, held in memory for the client's life.
class TCookieManager {
  public:
    // May refuse a cookie that DomainAllowed let through; none is set in this program.
    std::function<bool(TCookieManager& Sender, const TNetscapeCookie& ACookie)> OnNewCookie;

    // Parses and stores one header value that host sent. Raises EConvertError for a
    // "Set-cookie2" with a malformed port list.
    void TakeCookie(std::string_view AText, const std::string& AHost, TCookieKind AKind);
    // The value of the "Cookie" header for a request to ATarget; "" when no cookie applies.
    std::string CookieTextFor(const TURI& ATarget, bool ASecure);
    // Removes every cookie whose expiry time is not in the future.
    void DropExpired();

    std::size_t CookieCount() const;
    // The store for a reader that holds no lock: tests and diagnostics only.
    const TCookies& Cookies() const { return cookies_; }

  private:
    mutable std::shared_mutex lock_;
    TCookies cookies_;
};

}  // namespace kavrel
