#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/settings.h"

// The mail providers the settings dialog knows: where their POP3 servers are, how they want
// to be signed in to, and what the user must do on the provider's side first.
namespace kavrel {

// Where a provider's OAuth 2.0 service is, and who Kavrel is to it.
struct TOAuthService {
    std::string AuthorizeUrl;
    std::string TokenUrl;
    std::string DeviceUrl;  // empty where the provider has no device sign-in for mail
    std::string Scope;
    std::string ExtraAuthorizeParams;  // "name=value&..." added to the browser request
    std::string ClientId;              // empty: this build cannot sign in to the provider
    std::string ClientSecret;          // what the provider issues to installed programs
};

struct TProvider {
    std::string Id;    // stored in the settings file
    std::string Name;  // shown in the dialog
    std::string Server;
    TSecurity Security = TSecurity::TLS;
    // What must be set up on the provider's side before Kavrel can sign in with a password;
    // empty when the usual password works.
    std::string PasswordNote;
    bool PasswordAccepted = true;
    bool OAuth = false;  // the provider accepts OAuth 2.0 sign-in over POP3
};

const std::vector<TProvider>& Providers();
const TProvider* FindProvider(std::string_view id);

// The OAuth service of a provider that has one: the built-in endpoints, the client id and
// secret this build was made with, and whatever the settings file's "[oauth-<id>]" section
// overrides (a distributor's own client, a company tenant's endpoints).
TOAuthService OAuthServiceOf(const TProvider& provider);

}  // namespace kavrel
