#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "base/unique_fd.h"

namespace kavrel::test {

// A real web server for the tests: Debian's python3 http.server serving a folder on a free
// loopback port. It answers HTTP/1.0 and closes after every answer, as small servers do.
// Stopped by the destructor. Throws std::runtime_error when python3 is missing or the server
// does not come up.
class THTTPFileServer {
  public:
    // With a certificate and its key the server speaks HTTPS only.
    struct TTls {
        std::string cert;
        std::string key;
    };

    explicit THTTPFileServer(const std::string& root, const TTls& tls = {});
    THTTPFileServer(const THTTPFileServer&) = delete;
    THTTPFileServer& operator=(const THTTPFileServer&) = delete;
    ~THTTPFileServer();

    int Port() const { return port_; }
    // "127.0.0.1:port"
    std::string Address() const;
    // The paths of the GET requests served so far, in order.
    std::vector<std::string> Requests() const;

  private:
    void Stop();

    std::string log_;
    pid_t pid_ = -1;
    int port_ = 0;
    TUniqueFd output_;
};

}  // namespace kavrel::test
