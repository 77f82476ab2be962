#include "net/http/cookie_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/integer.h"
#include "net/http/http_date.h"
#include "net/mail/mail_date.h"
#include "tests/support/raises.h"

namespace kavrel {
namespace {

TURI Target(const std::string& host, const std::string& path) {
    TURI uri;
    uri.Host = host;
    uri.Path = path;
    return uri;
}

TEST(CookieManager, WhatIsSentBack) {
    struct TSet {
        std::string text;
        std::string host;
    };
    const std::string future = HttpDateText(Now() + 1);
    const std::string past = HttpDateText(Now() - 1);
    struct {
        const char* name;
        std::vector<TSet> set;
        std::string host;
        std::string path;
        std::string expected;
        std::size_t stored;
    } const rows[] = {
        {"path / for the same host", {{"id=42; path=/", "a.b.c"}}, "a.b.c", "/files/", "id=42", 1},
        {"no path: stored, never sent", {{"id=42", "a.b.c"}}, "a.b.c", "/files/", "", 1},
        {"a domain that is another host name is refused",
         {{"id=42; path=/; domain=b.c", "a.b.c"}},
         "a.b.c",
         "/",
         "",
         0},
        {"the host's own domain with a dot reaches its other hosts",
         {{"id=42; path=/; domain=.b.c", "a.b.c"}},
         "x.b.c",
         "/",
         "id=42",
         1},
        {"a domain above the host's own is refused",
         {{"id=42; path=/; domain=.c", "a.b.c"}},
         "a.b.c",
         "/",
         "",
         0},
        {"the same name replaces",
         {{"id=42; path=/", "a.b.c"}, {"id=7; path=/", "a.b.c"}},
         "a.b.c",
         "/",
         "id=7",
         1},
        {"names match without regard to case",
         {{"ID=42; path=/", "a.b.c"}, {"id=7; path=/files/", "a.b.c"}},
         "a.b.c",
         "/files/",
         "id=7",
         1},
        {"secure is never sent without TLS",
         {{"id=42; path=/; secure", "a.b.c"}},
         "a.b.c",
         "/",
         "",
         1},
        {"max-age 0 expires at once", {{"id=42; path=/; max-age=0", "a.b.c"}}, "a.b.c", "/", "", 0},
        {"max-age of an hour lasts",
         {{"id=42; path=/; max-age=3600", "a.b.c"}},
         "a.b.c",
         "/",
         "id=42",
         1},
        {"expired date", {{"id=42; path=/; expires=" + past, "a.b.c"}}, "a.b.c", "/", "", 0},
        {"dashed date of the old form, expired",
         {{"id=42; path=/; expires=Wednesday, 09-Jun-2021 10:18:14 GMT", "a.b.c"}},
         "a.b.c",
         "/",
         "",
         0},
        {"date to come", {{"id=42; path=/; expires=" + future, "a.b.c"}}, "a.b.c", "/", "id=42", 1},
        {"longest path first",
         {{"a=1; path=/", "a.b.c"}, {"b=2; path=/files/", "a.b.c"}},
         "a.b.c",
         "/files/",
         "b=2; a=1",
         2},
        {"a path the request is not under",
         {{"a=1; path=/other/", "a.b.c"}},
         "a.b.c",
         "/files/",
         "",
         1},
        {"quoted path", {{"id=42; path=\"/\"", "a.b.c"}}, "a.b.c", "/x/", "id=42", 1},
        {"blanks around attribute names and values",
         {{"id=42 ;  Path = / ", "a.b.c"}},
         "a.b.c",
         "/",
         "id=42",
         1},
        {"empty value is not sent", {{"id=; path=/", "a.b.c"}}, "a.b.c", "/", "", 1},
        // A host-only cookie must not reach hosts whose names merely contain it.
        {"longer host name", {{"id=42; path=/", "a.b.c"}}, "xa.b.c", "/", "", 1},
        {"host name with more after it",
         {{"id=42; path=/", "a.b.c"}},
         "a.b.c.evil.net",
         "/",
         "",
         1},
        {"domain cookie, host below another domain",
         {{"id=42; path=/; domain=.b.c", "a.b.c"}},
         "x.b.c.evil.net",
         "/",
         "",
         1},
        {"domain cookie reaches the domain itself",
         {{"id=42; path=/; domain=.b.c", "a.b.c"}},
         "b.c",
         "/",
         "id=42",
         1},
        {"IP literal keeps its own cookies",
         {{"id=42; path=/", "10.0.0.1"}},
         "10.0.0.1",
         "/",
         "id=42",
         1},
        {"IP literal cannot widen",
         {{"id=42; path=/; domain=.0.0.1", "10.0.0.1"}},
         "10.0.0.1",
         "/",
         "",
         0},
        {"host names compare in any case", {{"id=42; path=/", "a.b.c"}}, "A.B.C", "/", "id=42", 1},
    };
    for (const auto& r : rows) {
        TCookieManager store;
        for (const auto& s : r.set) store.TakeCookie(s.text, s.host, TCookieKind::SetCookie);
        EXPECT_EQ(store.CookieTextFor(Target(r.host, r.path), false), r.expected) << r.name;
        EXPECT_EQ(store.CookieCount(), r.stored) << r.name;
    }
}

TEST(CookieManager, DomainsKeepTheirFirstOrder) {
    TCookieManager store;
    store.TakeCookie("a=1; path=/", "h", TCookieKind::SetCookie);
    store.TakeCookie("b=2; path=/; domain=.b.c", "x.b.c", TCookieKind::SetCookie);
    store.TakeCookie("c=3; path=/", "H", TCookieKind::SetCookie);
    ASSERT_EQ(store.Cookies().DomainCount(), 2u);
    EXPECT_EQ(store.Cookies().Domain(0), "h");
    EXPECT_EQ(store.Cookies().Domain(1), ".b.c");
    EXPECT_EQ(store.Cookies().List(0).Count(), 2u);
}

TEST(CookieManager, CapsEvictTheLeastRecentlySet) {
    constexpr int kPer = TCookies::kMaxCookiesPerDomain;
    constexpr int kHosts = TCookies::kMaxCookies / kPer;
    // Names c<from> to c<to>, set in that order by host h<host>.
    struct TSet {
        int host, from, to;
    };
    struct {
        const char* name;
        bool fillAll;  // first, every one of kHosts hosts sets kPer names
        std::vector<TSet> sets;
        std::size_t stored, domains;
        TSet gone, kept;
    } const rows[] = {
        {"one past the domain's cap: its first goes",
         false,
         {{0, 0, kPer}},
         kPer,
         1,
         {0, 0, 0},
         {0, 1, kPer}},
        {"a name set again is recent: the next oldest goes",
         false,
         {{0, 0, kPer - 1}, {0, 0, 0}, {0, kPer, kPer}},
         kPer,
         1,
         {0, 1, 1},
         {0, 0, 0}},
        {"one past the total: the oldest of all goes",
         true,
         {{kHosts, 0, 0}},
         TCookies::kMaxCookies,
         kHosts + 1,
         {0, 0, 0},
         {0, 1, kPer - 1}},
        {"a domain emptied by the total leaves the order",
         true,
         {{kHosts, 0, kPer - 1}},
         TCookies::kMaxCookies,
         kHosts,
         {0, 0, kPer - 1},
         {kHosts, 0, kPer - 1}},
    };
    const auto host = [](int h) { return "h" + std::to_string(h) + ".example"; };
    for (const auto& r : rows) {
        TCookieManager store;
        const auto take = [&](const TSet& s) {
            for (int i = s.from; i <= s.to; ++i) {
                store.TakeCookie("c" + std::to_string(i) + "=v; path=/", host(s.host),
                                 TCookieKind::SetCookie);
            }
        };
        const auto held = [&](const TSet& s) {
            const TCookieList* list = store.Cookies().Find(host(s.host));
            int found = 0;
            for (int i = s.from; i <= s.to; ++i)
                found += list && list->Find("c" + std::to_string(i));
            return found;
        };
        for (int h = 0; r.fillAll && h < kHosts; ++h) take({h, 0, kPer - 1});
        for (const TSet& s : r.sets) take(s);
        EXPECT_EQ(store.CookieCount(), r.stored) << r.name;
        EXPECT_EQ(store.Cookies().DomainCount(), r.domains) << r.name;
        EXPECT_EQ(held(r.gone), 0) << r.name;
        EXPECT_EQ(held(r.kept), r.kept.to - r.kept.from + 1) << r.name;
    }
}

// 200000 values once froze the window for minutes: the store was quadratic.
TEST(CookieManager, FloodOfSetCookieValuesKeepsTheNewest) {
    TCookieManager store;
    constexpr int kFlood = 200000;
    for (int i = 0; i < kFlood; ++i) {
        store.TakeCookie("c" + std::to_string(i) + "=v; path=/", "a.b.c", TCookieKind::SetCookie);
    }
    EXPECT_EQ(store.CookieCount(), TCookies::kMaxCookiesPerDomain);
    const std::string text = store.CookieTextFor(Target("a.b.c", "/"), false);
    EXPECT_EQ(text.substr(0, text.find(';')), "c" + std::to_string(kFlood - 1) + "=v");
}

TEST(CookieManager, ParseCookie) {
    TCookieRFC2109 c;
    c.ParseCookie(
        "sid=a=b; Path=/x/; Domain=.b.c; Expires=Sun, 06 Nov 1994 08:49:37 GMT; "
        "Version=1; Comment=hi; Secure");
    EXPECT_EQ(c.CookieName, "sid");
    EXPECT_EQ(c.Value, "a=b");
    EXPECT_EQ(c.Path, "/x/");
    EXPECT_EQ(c.Domain, ".b.c");
    EXPECT_EQ(c.Expires, "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(c.Version, "1");
    EXPECT_EQ(c.Comment, "hi");
    EXPECT_TRUE(c.Secure);
    EXPECT_EQ(c.MaxAge, -1);

    c.ParseCookie("n=v; max-age=abc");
    EXPECT_EQ(c.MaxAge, -1);
    EXPECT_TRUE(c.Expires.empty());
    EXPECT_FALSE(c.Secure);

    TCookieRFC2965 c2;
    c2.ParseCookie("n=v; Port=\"80, 8080\"; Discard; CommentURL=http://h/");
    EXPECT_EQ(c2.PortList, (std::vector<int>{80, 8080}));
    EXPECT_TRUE(c2.Discard);
    EXPECT_EQ(c2.CommentURL, "http://h/");
    c2.ParseCookie("n=v");
    EXPECT_EQ(c2.PortList, std::vector<int>{80});
    EXPECT_EQ(test::MessageOf<EConvertError>([&] { c2.ParseCookie("n=v; Port=\"80,x\""); }),
              "'x' is not a valid integer value");
}

TEST(CookieManager, MaxAgeBecomesADateThatReadsBack) {
    TCookieRFC2109 c;
    c.ParseCookie("n=v; max-age=120");
    const TDateTime expires = MailDateToLocal(c.Expires);
    EXPECT_NEAR((expires - Now()) * 86400.0, 120.0, 2.0) << c.Expires;
}

}  // namespace
}  // namespace kavrel
