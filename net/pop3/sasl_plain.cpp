#include "net/pop3/sasl_plain.h"

#include <utility>

namespace kavrel {

TSASLPlain::TSASLPlain(std::string AUsername, std::string APassword)
    : username_(std::move(AUsername)), password_(std::move(APassword)) {}

std::string TSASLPlain::Respond(const std::string&) {
    if (answered_) throw ESASLError("PLAIN: the server asked again after the password");
    answered_ = true;
    return std::string(1, '\0') + username_ + '\0' + password_;
}

TSASLLogin::TSASLLogin(std::string AUsername, std::string APassword)
    : username_(std::move(AUsername)), password_(std::move(APassword)) {}

std::string TSASLLogin::Respond(const std::string&) {
    switch (step_++) {
        case 0:
            return username_;
        case 1:
            return password_;
        default:
            throw ESASLError("LOGIN: the server asked again after the password");
    }
}

}  // namespace kavrel
