#pragma once

#include <string>

#include "config/providers.h"
#include "core/secret_store.h"
#include "net/oauth/oauth_sign_in.h"

// The accounts that sign in with OAuth 2.0: the refresh token in the keyring under the account
// and server, the access token in memory for as long as it lasts.
namespace kavrel {

// The OAuth service of the provider with this id as Kavrel signs in to it; raises EOAuthError
// with what is missing (no such provider, no OAuth there, no client id in this build).
TOAuthProvider OAuthProviderOf(const std::string& providerId);

// The slot's access token, renewed when it is about to run out; a renewal that replaces the
// refresh token puts the new one into the keyring. Raises EOAuthError when the account is not
// signed in or its sign-in was revoked (the dead refresh token is then dropped, so that later
// checks say so without asking the provider again), and the keyring's errors. hook is called
// while a renewal waits for the provider.
std::string AccessTokenFor(int slot, const TOAuthWaitHook& hook = {});

// After the server refused the slot's token: the next log-in asks for a fresh one.
void ForgetAccessToken(int slot);

// Keeps the tokens of a sign-in just made for key's account: the refresh token in the keyring
// (raising its errors), the access token in memory.
void KeepSignIn(const TSecretKey& key, const TOAuthTokens& tokens);

// Whether the keyring holds a sign-in for the account; raises the keyring's errors.
bool IsSignedIn(const TSecretKey& key);

void ForgetAllAccessTokens();

}  // namespace kavrel
