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
    // A list never holds more than kMaxCookiesPerDomain: a scan is cheap.
    for (const TStored& s : cookies_) {
        if (SameText(s.Cookie->CookieName, name)) return s.Cookie.get();
    }
    return nullptr;
}

TCookieList* TCookies::Find(std::string_view domain) {
    const auto it = byName_.find(UpperCase(domain));
    return it == byName_.end() ? nullptr : &it->second->List;
}

const TCookieList* TCookies::Find(std::string_view domain) const {
    return const_cast<TCookies*>(this)->Find(domain);
}

void TCookies::Store(std::unique_ptr<TNetscapeCookie> cookie) {
    auto [named, added] = byName_.try_emplace(UpperCase(cookie->Domain));
    if (added) named->second = domains_.insert(domains_.end(), {cookie->Domain, {}});
    const TDomainIt domain = named->second;
    std::vector<TCookieList::TStored>& list = domain->List.cookies_;
    const std::uint64_t setOrder = nextSetOrder_++;

    const auto same = std::find_if(list.begin(), list.end(), [&](const auto& s) {
        return SameText(s.Cookie->CookieName, cookie->CookieName);
    });
    if (same != list.end()) {
        bySetOrder_.erase(same->SetOrder);
        *same = {std::move(cookie), setOrder};
    } else {
        list.push_back({std::move(cookie), setOrder});
        ++count_;
    }
    bySetOrder_.emplace(setOrder, domain);

    if (list.size() > kMaxCookiesPerDomain) {
        const auto oldest =
            std::min_element(list.begin(), list.end(),
                             [](const auto& a, const auto& b) { return a.SetOrder < b.SetOrder; });
        Evict(domain, oldest->SetOrder);
    }
    // The cookie just set is the newest of all, so this never takes it or empties its domain.
    if (count_ > kMaxCookies) Evict(bySetOrder_.begin()->second, bySetOrder_.begin()->first);
}

void TCookies::Evict(TDomainIt domain, std::uint64_t setOrder) {
    std::erase_if(domain->List.cookies_, [&](const auto& s) { return s.SetOrder == setOrder; });
    bySetOrder_.erase(setOrder);
    --count_;
    DropIfEmpty(domain);
}

void TCookies::DropIfEmpty(TDomainIt domain) {
    if (domain->List.Count() != 0) return;
    byName_.erase(UpperCase(domain->Name));
    domains_.erase(domain);
}

void TCookies::RemoveIf(const std::function<bool(const TNetscapeCookie&)>& expired) {
    for (auto domain = domains_.begin(); domain != domains_.end();) {
        const auto next = std::next(domain);
        std::erase_if(domain->List.cookies_, [&](const TCookieList::TStored& s) {
            if (!expired(*s.Cookie)) return false;
            bySetOrder_.erase(s.SetOrder);
            --count_;
            return true;
        });
        DropIfEmpty(domain);
        domain = next;
    }
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
    cookies_.Store(std::move(cookie));
}

void TCookieManager::DropExpired() {
    const TDateTime now = Now();
    const std::unique_lock guard(lock_);
    cookies_.RemoveIf([now](const TNetscapeCookie& c) {
        // "max-age=0" is written as the second it came in: gone at once.
        return !c.Expires.empty() && MailDateToLocal(c.Expires) <= now;
    });
}

std::string TCookieManager::CookieTextFor(const TURI& ATarget, bool ASecure) {
    DropExpired();
    std::vector<const TNetscapeCookie*> kept;
    const std::shared_lock guard(lock_);
    cookies_.ForEachDomain([&](const std::string& domain, const TCookieList& list) {
        if (!DomainMatches(domain, ATarget.Host)) return;
        for (std::size_t j = list.Count(); j-- > 0;) {
            const TNetscapeCookie& c = list[j];
            if (c.Path.empty() || !ATarget.Path.starts_with(c.Path)) continue;
            if (c.Secure && !ASecure) continue;
            if (c.Value.empty()) continue;
            kept.push_back(&c);
        }
    });
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
