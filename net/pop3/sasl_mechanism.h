#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/net_exception.h"

namespace kavrel {

// A sign-in that cannot go on: the server offers no fitting mechanism, or its challenges
// cannot be trusted. The message never holds a password or a token.
class ESASLError : public ENetException {
  public:
    using ENetException::ENetException;
};

// The client's side of one SASL mechanism (RFC 4422): the answer to each challenge of the
// server. Challenges and answers are the bytes before base64, which the session adds.
class TSASLMechanism {
  public:
    virtual ~TSASLMechanism() = default;

    // The name as AUTH takes it and CAPA lists it.
    virtual std::string Name() const = 0;
    // Raises ESASLError when the challenge is one the mechanism must not answer.
    virtual std::string Respond(const std::string& AChallenge) = 0;
    // False while the server has still to prove that it knows the secret too; a success
    // before that is not to be believed.
    virtual bool ServerVerified() const { return true; }
    // What the exchange taught about a refusal, to follow the server's -ERR text; empty
    // when nothing.
    virtual std::string RefusalNote() const { return {}; }
};

// What a mechanism may need to sign in.
struct TSASLCredentials {
    std::string Username;
    std::string Password;
    std::string AccessToken;
    std::string Host;
    int Port = 0;
};

// The mechanism of that name (upper case), or nullptr when this program has none.
std::unique_ptr<TSASLMechanism> MakeSASLMechanism(std::string_view AName,
                                                  const TSASLCredentials& ACredentials);

// A user name as SCRAM and the GS2 header write it (RFC 5802 5.1): ',' and '=' escaped.
std::string SASLName(std::string_view AName);

}  // namespace kavrel
