#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "net/oauth/oauth_provider.h"
#include "net/oauth/oauth_wait.h"

// The whole sign-in, for the settings window and the command-line check.
namespace kavrel {

// Shows url to the user in a web browser; false when none could be started.
using TOpenBrowser = std::function<bool(const std::string& url)>;
// Tells the user to enter userCode on the page at verificationUri.
using TShowCode =
    std::function<void(const std::string& userCode, const std::string& verificationUri)>;

constexpr std::chrono::minutes kBrowserSignInTimeout{5};

// Signs in with the browser: the authorization code grant with PKCE and a loopback redirect.
// loginHint (the mail address) may be empty. Raises EOAuthError; an exception thrown by hook
// or openBrowser ends the sign-in and goes on to the caller.
TOAuthTokens SignInWithBrowser(const TOAuthProvider& provider, const std::string& loginHint,
                               const TOpenBrowser& openBrowser, const TOAuthWaitHook& hook,
                               std::chrono::milliseconds timeout = kBrowserSignInTimeout);

// Signs in with a code the user enters on the provider's page, on any device (RFC 8628).
TOAuthTokens SignInWithDeviceCode(const TOAuthProvider& provider, const TShowCode& showCode,
                                  const TOAuthWaitHook& hook);

}  // namespace kavrel
