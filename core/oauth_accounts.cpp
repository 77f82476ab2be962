#include "core/oauth_accounts.h"

#include <map>

#include "config/u_globals.h"
#include "core/secrets.h"
#include "net/oauth/oauth_errors.h"
#include "net/oauth/token_endpoint.h"

namespace kavrel {
namespace {

std::map<TSecretKey, TOAuthTokens>& Cache() {
    static std::map<TSecretKey, TOAuthTokens> cache;
    return cache;
}

std::string AccountText(const TSecretKey& key) { return key.account + " on " + key.server; }

}  // namespace

TOAuthProvider OAuthProviderOf(const std::string& providerId) {
    const TProvider* provider = FindProvider(providerId);
    if (!provider || !provider->OAuth) {
        throw EOAuthError(
            "OAuth: the account's provider does not sign in with OAuth 2.0: choose one that does "
            "in Settings.");
    }
    const TOAuthService service = OAuthServiceOf(*provider);
    if (service.ClientId.empty()) {
        throw EOAuthError("OAuth: this copy of Kavrel was built without an OAuth client id for " +
                          provider->Name + ": see \"OAuth client ids\" in the README.");
    }
    TOAuthProvider p;
    p.AuthorizationEndpoint = service.AuthorizeUrl;
    p.TokenEndpoint = service.TokenUrl;
    p.DeviceAuthorizationEndpoint = service.DeviceUrl;
    p.Scope = service.Scope;
    p.ClientId = service.ClientId;
    p.ClientSecret = service.ClientSecret;
    p.ExtraAuthorizationParameters = service.ExtraAuthorizeParams;
    return p;
}

std::string AccessTokenFor(int slot, const TOAuthWaitHook& hook) {
    const TSecretKey key = RefreshTokenKey(slot);
    const auto cached = Cache().find(key);
    if (cached != Cache().end() && !NeedsRefresh(cached->second, TWallClock::now()))
        return cached->second.AccessToken;
    const TOAuthProvider provider = OAuthProviderOf(Settings.Provider[slot]);
    TOAuthTokens tokens;
    if (cached != Cache().end()) {
        tokens = cached->second;
    } else {
        const auto refresh = Secrets().Lookup(key);
        if (!refresh || refresh->empty()) {
            throw EOAuthError("OAuth: " + AccountText(key) +
                              " is not signed in: sign in from Kavrel's Settings.");
        }
        tokens.RefreshToken = *refresh;  // no access token yet: renewed at once
    }
    TOAuthTokens fresh;
    try {
        fresh = RefreshTokens(provider, tokens, hook);
    } catch (const EOAuthSignInExpired&) {
        Cache().erase(key);
        Secrets().Remove(key);
        throw EOAuthError("OAuth: the sign-in of " + AccountText(key) +
                          " was revoked or has expired: sign in again from Kavrel's Settings.");
    }
    if (!fresh.RefreshToken.empty() && fresh.RefreshToken != tokens.RefreshToken) {
        Secrets().Store(key, fresh.RefreshToken);
    }
    Cache()[key] = fresh;
    return fresh.AccessToken;
}

void ForgetAccessToken(int slot) {
    const auto it = Cache().find(RefreshTokenKey(slot));
    if (it != Cache().end()) it->second.AccessToken.clear(), it->second.Expiry = {};
}

void KeepSignIn(const TSecretKey& key, const TOAuthTokens& tokens) {
    if (tokens.RefreshToken.empty()) {
        throw EOAuthError(
            "OAuth: the provider gave no refresh token, so Kavrel could not stay "
            "signed in for " +
            AccountText(key) + ".");
    }
    Secrets().Store(key, tokens.RefreshToken);
    Cache()[key] = tokens;
}

bool IsSignedIn(const TSecretKey& key) {
    const auto refresh = Secrets().Lookup(key);
    return refresh && !refresh->empty();
}

void ForgetAllAccessTokens() { Cache().clear(); }

}  // namespace kavrel
