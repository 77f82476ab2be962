#pragma once

#include <cstdint>
#include <functional>
#include <iterator>
#include <list>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
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
    const TNetscapeCookie& operator[](std::size_t i) const { return *cookies_[i].Cookie; }

  private:
    friend class TCookies;
    struct TStored {
        std::unique_ptr<TNetscapeCookie> Cookie;
        std::uint64_t SetOrder;  // when it was last set: the lowest goes first
    };
    std::vector<TStored> cookies_;
};

// Every cookie, by domain; the domains keep the order in which they first came and are
// compared without regard to case. A domain whose last cookie goes leaves the order.
class TCookies {
  public:
    // RFC 6265 asks a user agent to keep at least 50 cookies per domain and 3000 in all, and
    // no more is needed: the update server sets a handful. Beyond either, the cookie least
    // recently set (of that domain, or of all) goes, so a flood costs a server its own oldest.
    static constexpr std::size_t kMaxCookiesPerDomain = 50;
    static constexpr std::size_t kMaxCookies = 3000;

    TCookies() = default;
    // The indexes point into domains_.
    TCookies(const TCookies&) = delete;
    TCookies& operator=(const TCookies&) = delete;

    TCookieList* Find(std::string_view domain);
    const TCookieList* Find(std::string_view domain) const;
    std::size_t DomainCount() const { return domains_.size(); }
    // Walk the domains from the first; tests and diagnostics.
    const std::string& Domain(std::size_t i) const { return std::next(domains_.begin(), i)->Name; }
    const TCookieList& List(std::size_t i) const { return std::next(domains_.begin(), i)->List; }
    std::size_t CookieCount() const { return count_; }

    // Into the list of the cookie's Domain: a cookie whose name is already there takes the old
    // one's place; a new one goes last. Then the caps above are applied.
    void Store(std::unique_ptr<TNetscapeCookie> cookie);
    // Removes every cookie for which expired is true.
    void RemoveIf(const std::function<bool(const TNetscapeCookie&)>& expired);

    template <typename F>
    void ForEachDomain(F&& visit) const {
        for (const TDomain& d : domains_) visit(d.Name, d.List);
    }

  private:
    struct TDomain {
        std::string Name;
        TCookieList List;
    };
    using TDomainIt = std::list<TDomain>::iterator;

    void Evict(TDomainIt domain, std::uint64_t setOrder);
    void DropIfEmpty(TDomainIt domain);

    std::list<TDomain> domains_;
    std::unordered_map<std::string, TDomainIt> byName_;  // upper-cased domain
    std::map<std::uint64_t, TDomainIt> bySetOrder_;      // every cookie, oldest first
    std::uint64_t nextSetOrder_ = 0;
    std::size_t count_ = 0;
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
