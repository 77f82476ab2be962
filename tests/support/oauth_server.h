#pragma once

#include <sys/types.h>

#include <map>
#include <string>

#include "base/unique_fd.h"

namespace kavrel::test {

// The test authorization server (tests/support/oauth_server.py, python3's standard library
// only) on a free loopback port: authorization code with PKCE, refresh with rotation, the
// device flow, introspection for dovecot, and controls that let a test revoke tokens, expire
// device codes and issue tokens. One client, "kavrel-test"; access tokens live an hour.
// Stopped by the destructor. Throws std::runtime_error when python3 is missing
// or the server does not come up.
class TOAuthServer {
  public:
    struct TOptions {
        int interval = 1;  // polling interval of the device flow; 0 for fast tests
    };

    // One HTTP answer, as the server sent it.
    struct TAnswer {
        int status = 0;
        std::string headers;  // the header lines, CR LF kept
        std::string body;
        // The value of the header (first one of that name, case-insensitive), empty if none.
        std::string Header(const std::string& name) const;
    };

    TOAuthServer();
    explicit TOAuthServer(const TOptions& options);
    TOAuthServer(const TOAuthServer&) = delete;
    TOAuthServer& operator=(const TOAuthServer&) = delete;
    ~TOAuthServer();

    int Port() const { return port_; }
    // "http://127.0.0.1:PORT" followed by path, e.g. Url("/token").
    std::string Url(const std::string& path = "/") const;

    // A live access token of the user, made without any flow (for SASL tests).
    std::string Issue(const std::string& user = "ann");
    // Every refresh token of the user is refused with invalid_grant from now on.
    void Revoke(const std::string& user);
    // Every device code still waiting has expired: polls get expired_token.
    void ExpireDeviceCodes();
    // With false the user refuses: /authorize redirects with access_denied and the device
    // step denies (polls get access_denied). True by default.
    void SetConsent(bool grant);
    // Counts by name: "authorization_code", "refresh_token", "device_code" (the /token calls
    // by grant type) and "introspect_active"; 0 for what never happened.
    std::map<std::string, int> Stats();

    // Plain HTTP/1.1 requests to the server, without any of the program's classes: a
    // browser's GET of a URL the client made, or a form POST (fields already encoded).
    TAnswer Get(const std::string& pathAndQuery);
    TAnswer Post(const std::string& path, const std::string& form);

  private:
    TAnswer Request(const std::string& request);
    void Stop();

    pid_t pid_ = -1;
    int port_ = 0;
    TUniqueFd output_;
};

}  // namespace kavrel::test
