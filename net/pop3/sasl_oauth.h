#pragma once

#include <string>

#include "net/pop3/sasl_mechanism.h"

namespace kavrel {

// A sign-in with an OAuth 2.0 bearer token. The token goes in the first answer; a challenge
// after it is the server's refusal, base64 JSON such as {"status":"401","schemes":"bearer",
// "scope":"mail"}, which must be acknowledged before the server sends its -ERR.
class TSASLBearer : public TSASLMechanism {
  public:
    std::string Respond(const std::string& AChallenge) override;
    std::string RefusalNote() const override { return note_; }

  protected:
    virtual std::string FirstAnswer() const = 0;
    // What acknowledges the refusal.
    virtual std::string Acknowledgement() const = 0;

  private:
    int step_ = 0;
    std::string note_;
};

// XOAUTH2, as the large mail services name it.
class TSASLXOAuth2 : public TSASLBearer {
  public:
    TSASLXOAuth2(std::string AUsername, std::string AToken);
    std::string Name() const override { return "XOAUTH2"; }

  protected:
    std::string FirstAnswer() const override;
    std::string Acknowledgement() const override { return {}; }

  private:
    std::string username_;
    std::string token_;
};

// OAUTHBEARER (RFC 7628).
class TSASLOAuthBearer : public TSASLBearer {
  public:
    TSASLOAuthBearer(std::string AUsername, std::string AToken, std::string AHost, int APort);
    std::string Name() const override { return "OAUTHBEARER"; }

  protected:
    std::string FirstAnswer() const override;
    // RFC 7628 3.2.3: a lone kvsep.
    std::string Acknowledgement() const override { return "\x01"; }

  private:
    std::string username_;
    std::string token_;
    std::string host_;
    int port_;
};

}  // namespace kavrel
