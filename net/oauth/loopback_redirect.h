#pragma once

#include <chrono>
#include <string>

#include "base/unique_fd.h"
#include "net/oauth/oauth_wait.h"

namespace kavrel {

// Where the browser brings the user back after the sign-in (RFC 8252 section 7.3): a listener
// on 127.0.0.1 at a port the system picks, there from construction to destruction, so that
// the browser can be sent to RedirectUri() before Wait() is called.
class TLoopbackRedirect {
  public:
    // Raises EOAuthError when no port can be had.
    TLoopbackRedirect();
    TLoopbackRedirect(const TLoopbackRedirect&) = delete;
    TLoopbackRedirect& operator=(const TLoopbackRedirect&) = delete;

    int Port() const { return port_; }
    // "http://127.0.0.1:PORT/"
    std::string RedirectUri() const;

    // Waits, calling hook at least every kOAuthWaitSlice, for the browser's request with the
    // answer to the sign-in whose state is given, and returns its authorization code. The
    // browser gets a short page saying how it went. Other requests (the browser's icon) get
    // 404 and the wait goes on. Raises EOAuthError when the answer is an error, belongs to
    // another sign-in or has no code, or when nothing comes within timeout.
    std::string Wait(const std::string& state, std::chrono::milliseconds timeout,
                     const TOAuthWaitHook& hook);

  private:
    TUniqueFd listener_;
    int port_ = 0;
};

}  // namespace kavrel
