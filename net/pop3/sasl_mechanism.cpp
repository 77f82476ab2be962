#include "net/pop3/sasl_mechanism.h"

#include "net/pop3/sasl_oauth.h"
#include "net/pop3/sasl_plain.h"
#include "net/pop3/sasl_scram.h"

namespace kavrel {

std::unique_ptr<TSASLMechanism> MakeSASLMechanism(std::string_view AName,
                                                  const TSASLCredentials& ACredentials) {
    const TSASLCredentials& c = ACredentials;
    if (AName == "SCRAM-SHA-256") return std::make_unique<TSASLScramSHA256>(c.Username, c.Password);
    if (AName == "PLAIN") return std::make_unique<TSASLPlain>(c.Username, c.Password);
    if (AName == "LOGIN") return std::make_unique<TSASLLogin>(c.Username, c.Password);
    if (AName == "XOAUTH2") return std::make_unique<TSASLXOAuth2>(c.Username, c.AccessToken);
    if (AName == "OAUTHBEARER") {
        return std::make_unique<TSASLOAuthBearer>(c.Username, c.AccessToken, c.Host, c.Port);
    }
    return nullptr;
}

std::string SASLName(std::string_view AName) {
    std::string out;
    for (const char c : AName) {
        if (c == ',') {
            out += "=2C";
        } else if (c == '=') {
            out += "=3D";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace kavrel
