#include "net/http/cookie_manager.h"

#include <algorithm>
#include <mutex>

#include "base/date_time.h"
#include "base/strings.h"
#include "net/mail/mail_date.h"

namespace kavrel {
namespace {

bool IsByteNumber(std::string_view part) {
    if (part.empty() || part.size() > 3) return false;
    int value = 0;
    for (const char c : part) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value <= 255;
}

// Its first four dot-separated parts are numbers from 0 to 255.
bool IsIPLiteralHost(std::string_view host) {
    for (int i = 0; i < 4; ++i) {
        const auto dot = host.find('.');
        if (!IsByteNumber(host.substr(0, dot))) return false;
        if (dot == std::string_view::npos) return i == 3;
        host.remove_prefix(dot + 1);
    }
    return true;
}

// ".b.c" names a domain, not a host.
bool IsHostName(std::string_view host) { return !IsIPLiteralHost(host) && !host.starts_with('.'); }

std::string_view DomainPartOf(std::string_view host) {
    const auto dot = host.find('.');
    return dot == std::string_view::npos ? host : host.substr(dot);
}

// A cookie for ".b.c" goes to b.c and to every host below it; any other cookie goes to the
// host it names and to no other.
bool DomainMatches(std::string_view domain, std::string_view host) {
    if (domain.starts_with('.') && domain.size() > 1) {
        return SameText(host, domain.substr(1)) ||
               (host.size() > domain.size() &&
                SameText(host.substr(host.size() - domain.size()), domain));
    }
    return SameText(host, domain);
}

}  // namespace

TNetscapeCookie* TCookieList::Find(std::string_view name) const {
    for (const auto& c : cookies_) {
        if (SameText(c->CookieName, name)) return c.get();
    }
    return nullptr;
}

void TCookieList::Store(std::unique_ptr<TNetscapeCookie> cookie) {
    for (auto& c : cookies_) {
        if (SameText(c->CookieName, cookie->CookieName)) {
            c = std::move(cookie);
            return;
        }
    }
    cookies_.push_back(std::move(cookie));
}

void TCookieList::RemoveIf(const std::function<bool(const TNetscapeCookie&)>& expired) {
    std::erase_if(cookies_, [&](const auto& c) { return expired(*c); });
}

TCookieList* TCookies::Find(std::string_view domain) {
    for (auto& [name, list] : domains_) {
        if (SameText(name, domain)) return &list;
    }
    return nullptr;
}

const TCookieList* TCookies::Find(std::string_view domain) const {
    return const_cast<TCookies*>(this)->Find(domain);
}

TCookieList& TCookies::FindOrAdd(const std::string& domain) {
    if (TCookieList* list = Find(domain)) return *list;
    return domains_.emplace_back(domain, TCookieList{}).second;
}

std::size_t TCookies::CookieCount() const {
    std::size_t count = 0;
    for (const auto& entry : domains_) count += entry.second.Count();
    return count;
}

bool DomainAllowed(const TNetscapeCookie& ACookie, std::string_view AHost) {
    const std::string& domain = ACookie.Domain;
    if (IsIPLiteralHost(AHost)) return domain == AHost;
    if (IsHostName(AHost)) {
        if (IsHostName(domain)) return domain == AHost;
        return domain == DomainPartOf(AHost);
    }
    return SameText(domain, DomainPartOf(AHost));
}

void TCookieManager::TakeCookie(std::string_view AText, const std::string& AHost,
                                TCookieKind AKind) {
    std::unique_ptr<TNetscapeCookie> cookie = MakeCookie(AKind);
    cookie->ParseCookie(AText);
    if (cookie->Domain.empty()) cookie->Domain = AHost;
    if (!DomainAllowed(*cookie, AHost)) return;
    if (OnNewCookie && !OnNewCookie(*this, *cookie)) return;
    const std::unique_lock guard(lock_);
    cookies_.FindOrAdd(cookie->Domain).Store(std::move(cookie));
}

void TCookieManager::DropExpired() {
    const TDateTime now = Now();
    const std::unique_lock guard(lock_);
    for (std::size_t i = 0; i < cookies_.DomainCount(); ++i) {
        cookies_.List(i).RemoveIf([now](const TNetscapeCookie& c) {
            // "max-age=0" is written as the second it came in: gone at once.
            return !c.Expires.empty() && MailDateToLocal(c.Expires) <= now;
        });
    }
}

std::string TCookieManager::CookieTextFor(const TURI& ATarget, bool ASecure) {
    DropExpired();
    std::vector<const TNetscapeCookie*> kept;
    const std::shared_lock guard(lock_);
    for (std::size_t i = 0; i < cookies_.DomainCount(); ++i) {
        if (!DomainMatches(cookies_.Domain(i), ATarget.Host)) continue;
        const TCookieList& list = cookies_.List(i);
        for (std::size_t j = list.Count(); j-- > 0;) {
            const TNetscapeCookie& c = list[j];
            if (c.Path.empty() || !ATarget.Path.starts_with(c.Path)) continue;
            if (c.Secure && !ASecure) continue;
            if (c.Value.empty()) continue;
            kept.push_back(&c);
        }
    }
    // The most specific path first; equal paths keep the order they were found in.
    std::stable_sort(kept.begin(), kept.end(), [](const auto* a, const auto* b) {
        return UpperCase(a->Path) > UpperCase(b->Path);
    });
    std::string text;
    for (const TNetscapeCookie* c : kept) {
        if (!text.empty()) text += "; ";
        text += c->CookieName + "=" + c->Value;
    }
    return text;
}

std::size_t TCookieManager::CookieCount() const {
    const std::shared_lock guard(lock_);
    return cookies_.CookieCount();
}

}  // namespace kavrel
