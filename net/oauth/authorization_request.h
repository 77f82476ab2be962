#pragma once

#include <string>

#include "net/oauth/oauth_provider.h"

namespace kavrel {

// The address the browser opens to sign in: the authorization request of RFC 6749 4.1.1 with
// the PKCE challenge. loginHint, the mail address, spares the user typing it again where the
// provider takes the hint; empty sends none.
std::string AuthorizationUrl(const TOAuthProvider& provider, const std::string& redirectUri,
                             const std::string& challenge, const std::string& state,
                             const std::string& loginHint = "");

}  // namespace kavrel
