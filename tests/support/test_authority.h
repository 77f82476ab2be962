#pragma once

#include <string>

#include "tests/support/temp_dir.h"

namespace kavrel::test {

// A throw-away certificate authority made with the openssl command, and server certificates
// from it. While the authority lives, OpenSSL clients of this process trust it and nothing
// else (SSL_CERT_FILE, SSL_CERT_DIR). Throws std::runtime_error when openssl is missing or
// fails, with its output.
class TTestAuthority {
  public:
    struct TKeyPair {
        std::string cert;
        std::string key;
    };

    TTestAuthority();

    const std::string& CaFile() const { return caFile_; }

    // A certificate for the names in altNames ("IP:127.0.0.1,DNS:localhost"), valid for
    // days from now (a negative count gives one that has expired), signed by the authority
    // or, when selfSigned, by its own key.
    TKeyPair Issue(const std::string& altNames, int days = 2, bool selfSigned = false);
    // For 127.0.0.1 and localhost, as the servers of the tests are reached.
    TKeyPair IssueForLoopback() { return Issue("IP:127.0.0.1,DNS:localhost"); }

  private:
    TTempDir dir_;
    std::string caFile_;
    std::string caKey_;
    int serial_ = 0;
    TScopedEnv certFile_;
    TScopedEnv certDir_;
};

}  // namespace kavrel::test
