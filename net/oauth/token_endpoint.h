#pragma once

#include <string>

#include "base/json.h"
#include "net/oauth/form_fields.h"
#include "net/oauth/oauth_provider.h"
#include "net/oauth/oauth_wait.h"

// Calls to the provider's endpoints that answer in JSON: the token endpoint (RFC 6749 section
// 5) and the device authorization endpoint.
namespace kavrel {

// What an endpoint answered to a form.
struct TEndpointAnswer {
    TJSONValue Body;  // always an object
    // The "error" of a refusal (RFC 6749 5.2); empty on success.
    std::string Error;
    // Its "error_description", fit for the log: one line, shortened, no secret of the form.
    std::string Description;
};

// POSTs form to url. Raises EOAuthError when the endpoint cannot be reached or answers with
// anything but a JSON object; a refusal in the shape of RFC 6749 5.2 is an answer. what names
// the endpoint in messages ("token endpoint"). hook is called while the connection waits, as a
// window's own calls are, and may end the call by throwing.
TEndpointAnswer PostForm(const std::string& url, const TFormFields& form, const std::string& what,
                         const TOAuthWaitHook& hook = {});

// client_id, and client_secret when the provider has one. The secret goes in the body, which
// every provider Kavrel knows takes, rather than in a Basic header, which not all do.
TFormFields ClientFields(const TOAuthProvider& provider);

// The tokens of a successful answer; scope is kept when the answer names none (RFC 6749 5.1).
// Raises EOAuthError when the answer holds no bearer token.
TOAuthTokens TokensOf(const TEndpointAnswer& answer, const std::string& scope);

// PostForm to the token endpoint, with the provider's client fields after form's own.
TEndpointAnswer PostToTokenEndpoint(const TOAuthProvider& provider, TFormFields form,
                                    const TOAuthWaitHook& hook = {});

// Raises the refusal as an EOAuthError: "OAuth: the token endpoint refused the request:
// invalid_client (description)."
[[noreturn]] void FailWithRefusal(const TEndpointAnswer& answer, const std::string& what);

// The authorization code grant (RFC 6749 4.1.3) with the PKCE verifier.
TOAuthTokens ExchangeCode(const TOAuthProvider& provider, const std::string& code,
                          const std::string& redirectUri, const std::string& verifier,
                          const TOAuthWaitHook& hook = {});

// New tokens for tokens.RefreshToken (RFC 6749 section 6). The old refresh token stays when
// the answer brings no new one. Raises EOAuthSignInExpired when the provider no longer takes
// it; the caller must not try again, only sign in anew.
TOAuthTokens RefreshTokens(const TOAuthProvider& provider, const TOAuthTokens& tokens,
                           const TOAuthWaitHook& hook = {});

}  // namespace kavrel
