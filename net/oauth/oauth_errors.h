#pragma once

#include <string>

#include "base/net_exception.h"

// The errors of the OAuth 2.0 client. Every message is a sentence for the log that starts with
// "OAuth: " and never holds a token, a code or a secret.
namespace kavrel {

class EOAuthError : public ENetException {
  public:
    using ENetException::ENetException;
};

// The refresh token no longer works (invalid_grant): the user revoked Kavrel's access, changed
// the password, or the grant ran out. Only a new sign-in helps; trying again never does.
class EOAuthSignInExpired : public EOAuthError {
  public:
    explicit EOAuthSignInExpired(
        const std::string& message =
            "OAuth: the sign-in was revoked or has expired: sign in again.")
        : EOAuthError(message) {}
};

}  // namespace kavrel
