#pragma once

#include <chrono>
#include <string>

#include "net/oauth/oauth_provider.h"
#include "net/oauth/oauth_wait.h"

// Sign-in with a device code (RFC 8628): the user enters a short code on a page of the
// provider, in any browser on any device, while Kavrel asks the token endpoint whether it
// has been entered.
namespace kavrel {

struct TDeviceAuthorization {
    std::string DeviceCode;  // a secret between Kavrel and the token endpoint
    std::string UserCode;    // what the user types
    std::string VerificationUri;
    std::chrono::seconds ExpiresIn{0};
    std::chrono::seconds Interval{5};
};

// Asks the device authorization endpoint for a code. Raises EOAuthError.
TDeviceAuthorization StartDeviceAuthorization(const TOAuthProvider& provider,
                                              const TOAuthWaitHook& hook = {});

// Asks the token endpoint at the given interval until the user has entered the code, calling
// hook while it waits, and returns the tokens. slow_down lengthens the interval by 5 seconds
// for good. Raises EOAuthError when the user refuses or the code expires first.
TOAuthTokens PollDeviceToken(const TOAuthProvider& provider,
                             const TDeviceAuthorization& authorization, const TOAuthWaitHook& hook);

}  // namespace kavrel
