#pragma once

#include <string>

#include "net/pop3/sasl_mechanism.h"

namespace kavrel {

// PLAIN (RFC 4616): the user name and the password in one answer, no authorization identity.
class TSASLPlain : public TSASLMechanism {
  public:
    TSASLPlain(std::string AUsername, std::string APassword);
    std::string Name() const override { return "PLAIN"; }
    std::string Respond(const std::string& AChallenge) override;

  private:
    std::string username_;
    std::string password_;
    bool answered_ = false;
};

// LOGIN (draft-murchison-sasl-login): the user name to the first prompt, the password to the
// second, whatever the prompts say.
class TSASLLogin : public TSASLMechanism {
  public:
    TSASLLogin(std::string AUsername, std::string APassword);
    std::string Name() const override { return "LOGIN"; }
    std::string Respond(const std::string& AChallenge) override;

  private:
    std::string username_;
    std::string password_;
    int step_ = 0;
};

}  // namespace kavrel
