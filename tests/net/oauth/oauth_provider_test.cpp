#include "net/oauth/oauth_provider.h"

#include <gtest/gtest.h>

#include <string>

#include "net/oauth/oauth_errors.h"
#include "tests/support/raises.h"

namespace kavrel {
namespace {

TEST(OAuthProvider, OnlySafeEndpointsAreTaken) {
    struct {
        const char* url;
        bool taken;
    } const rows[] = {
        {"https://login.example.com/oauth2/v2.0/token", true},
        {"HTTPS://login.example.com/token", true},
        {"http://127.0.0.1:8080/token", true},
        {"http://127.1.2.3/token", true},
        {"http://login.example.com/token", false},
        {"http://localhost:8080/token", false},
        {"http://127.0.0.1.example.com/token", false},
        {"http://127.0.0.256/token", false},
        {"http://127.0.0.1@login.example.com/token", false},
        {"https:///token", false},
        {"ftp://127.0.0.1/token", false},
        {"login.example.com/token", false},
        {"", false},
    };
    for (const auto& r : rows) {
        const std::string url = r.url;
        const std::string refusal =
            url.empty() ? "OAuth: the provider's token endpoint is not set."
                        : "OAuth: the token endpoint \"" + url +
                              "\" is refused: it must use https (http only to this computer).";
        EXPECT_EQ(test::MessageOf<EOAuthError>([&] { CheckEndpoint(url, "token endpoint"); }),
                  r.taken ? "<nothing raised>" : refusal);
    }
}

TEST(OAuthProvider, TokensAreRenewedShortlyBeforeTheyRunOut) {
    const TWallClock::time_point now = TWallClock::now();
    using std::chrono::minutes;
    struct {
        const char* name;
        std::string access;
        TWallClock::time_point expiry;
        bool renew;
    } const rows[] = {
        {"an hour left", "at", now + minutes(60), false},
        {"just over the margin", "at", now + kRefreshMargin + minutes(1), false},
        {"inside the margin", "at", now + kRefreshMargin - minutes(1), true},
        {"run out", "at", now - minutes(1), true},
        {"no access token yet", "", now + minutes(60), true},
    };
    for (const auto& r : rows) {
        TOAuthTokens tokens;
        tokens.AccessToken = r.access;
        tokens.Expiry = r.expiry;
        EXPECT_EQ(NeedsRefresh(tokens, now), r.renew) << r.name;
    }
}

}  // namespace
}  // namespace kavrel
