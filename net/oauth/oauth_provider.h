#pragma once

#include <chrono>
#include <string>

// Who Kavrel signs in with, and what it holds afterwards.
namespace kavrel {

using TWallClock = std::chrono::system_clock;

struct TOAuthProvider {
    std::string AuthorizationEndpoint;
    std::string TokenEndpoint;
    // Empty when the provider offers no sign-in with a device code (RFC 8628).
    std::string DeviceAuthorizationEndpoint;
    std::string Scope;  // space-separated
    std::string ClientId;
    // What a provider issues to installed programs; it protects nothing, since every copy of
    // the program carries it, but some providers refuse requests without it. Empty when none.
    std::string ClientSecret;
    // "name=value&..." added as it is to the browser's request, e.g.
    // "access_type=offline&prompt=consent" where a provider gives refresh tokens only when asked.
    std::string ExtraAuthorizationParameters;
};

struct TOAuthTokens {
    std::string AccessToken;
    // Empty when the provider gave none; then the user must sign in again once the access
    // token runs out.
    std::string RefreshToken;
    TWallClock::time_point Expiry;
    std::string Scope;
};

// An access token is renewed this long before it runs out, so that it cannot expire between
// the decision and the mail server's check of it.
constexpr std::chrono::minutes kRefreshMargin{5};

bool NeedsRefresh(const TOAuthTokens& tokens, TWallClock::time_point now);

// Raises EOAuthError unless url is https, or http to a loopback address (a test server):
// tokens and secrets never travel in clear over a network. what names the endpoint in the
// message ("token endpoint").
void CheckEndpoint(const std::string& url, const std::string& what);

}  // namespace kavrel
