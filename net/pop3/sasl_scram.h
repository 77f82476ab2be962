#pragma once

#include <string>

#include "net/pop3/sasl_mechanism.h"

namespace kavrel {

// SCRAM-SHA-256 (RFC 5802, RFC 7677) without channel binding: the password never crosses the
// wire, and the server must prove in its last challenge that it knows it too.
class TSASLScramSHA256 : public TSASLMechanism {
  public:
    // An empty client nonce makes a random one; tests give the RFC's.
    TSASLScramSHA256(std::string AUsername, std::string APassword, std::string AClientNonce = {});
    std::string Name() const override { return "SCRAM-SHA-256"; }
    std::string Respond(const std::string& AChallenge) override;
    bool ServerVerified() const override { return verified_; }

    // A server that asks for more work than this in one sign-in is refused.
    static constexpr long kMaxIterations = 1'000'000;

  private:
    std::string ClientFinal(const std::string& AServerFirst);
    void CheckServerFinal(const std::string& AServerFinal);

    std::string username_;
    std::string password_;
    std::string nonce_;
    std::string clientFirstBare_;
    std::string serverSignature_;
    int step_ = 0;
    bool verified_ = false;
};

}  // namespace kavrel
