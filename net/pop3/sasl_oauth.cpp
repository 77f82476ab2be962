#include "net/pop3/sasl_oauth.h"

#include <utility>

#include "base/json.h"

namespace kavrel {
namespace {

// "the server refused the token: status 401"; the status alone, as the rest of the JSON
// names only the scheme and the scope asked for.
std::string NoteOf(const std::string& AChallenge) {
    std::string note = "the server refused the token";
    try {
        const TJSONValue refusal = ParseJSON(AChallenge);
        if (const TJSONValue* status = refusal.Find("status")) {
            if (status->Kind() == TJSONValue::TKind::String) {
                note += ": status " + status->AsString();
            } else if (status->Kind() == TJSONValue::TKind::Number) {
                note += ": status " + std::to_string(static_cast<long long>(status->AsNumber()));
            }
        }
    } catch (const EJSONError&) {
        // Not JSON: the refusal itself is still worth saying.
    }
    return note;
}

}  // namespace

std::string TSASLBearer::Respond(const std::string& AChallenge) {
    switch (step_++) {
        case 0:
            return FirstAnswer();
        case 1:
            note_ = NoteOf(AChallenge);
            return Acknowledgement();
        default:
            throw ESASLError(Name() + ": the server asked again after refusing the token");
    }
}

TSASLXOAuth2::TSASLXOAuth2(std::string AUsername, std::string AToken)
    : username_(std::move(AUsername)), token_(std::move(AToken)) {}

std::string TSASLXOAuth2::FirstAnswer() const {
    return "user=" + username_ + "\x01" + "auth=Bearer " + token_ + "\x01\x01";
}

TSASLOAuthBearer::TSASLOAuthBearer(std::string AUsername, std::string AToken, std::string AHost,
                                   int APort)
    : username_(std::move(AUsername)),
      token_(std::move(AToken)),
      host_(std::move(AHost)),
      port_(APort) {}

std::string TSASLOAuthBearer::FirstAnswer() const {
    return "n,a=" + SASLName(username_) + ",\x01" + "host=" + host_ + "\x01" +
           "port=" + std::to_string(port_) + "\x01" + "auth=Bearer " + token_ + "\x01\x01";
}

}  // namespace kavrel
