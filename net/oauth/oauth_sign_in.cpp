#include "net/oauth/oauth_sign_in.h"

#include "net/oauth/authorization_request.h"
#include "net/oauth/device_authorization.h"
#include "net/oauth/loopback_redirect.h"
#include "net/oauth/oauth_errors.h"
#include "net/oauth/pkce.h"
#include "net/oauth/token_endpoint.h"

namespace kavrel {

TOAuthTokens SignInWithBrowser(const TOAuthProvider& provider, const std::string& loginHint,
                               const TOpenBrowser& openBrowser, const TOAuthWaitHook& hook,
                               std::chrono::milliseconds timeout) {
    // Before the browser is troubled with a sign-in whose code could not be used.
    CheckEndpoint(provider.AuthorizationEndpoint, "authorization endpoint");
    CheckEndpoint(provider.TokenEndpoint, "token endpoint");
    ClientFields(provider);
    TLoopbackRedirect redirect;
    const TPKCE pkce = MakePKCE();
    const std::string state = RandomState();
    const std::string url =
        AuthorizationUrl(provider, redirect.RedirectUri(), pkce.Challenge, state, loginHint);
    if (!openBrowser(url)) throw EOAuthError("OAuth: no web browser could be started to sign in.");
    const std::string code = redirect.Wait(state, timeout, hook);
    return ExchangeCode(provider, code, redirect.RedirectUri(), pkce.Verifier, hook);
}

TOAuthTokens SignInWithDeviceCode(const TOAuthProvider& provider, const TShowCode& showCode,
                                  const TOAuthWaitHook& hook) {
    CheckEndpoint(provider.TokenEndpoint, "token endpoint");
    const TDeviceAuthorization authorization = StartDeviceAuthorization(provider, hook);
    showCode(authorization.UserCode, authorization.VerificationUri);
    return PollDeviceToken(provider, authorization, hook);
}

}  // namespace kavrel
