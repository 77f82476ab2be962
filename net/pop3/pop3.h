#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/pop3/message_client.h"
#include "net/pop3/response_code.h"

namespace kavrel {

// How a session protects the login: TLS from the first byte; STLS when the server offers it
// in its CAPA listing (else plain, as POP3 always was); STLS and nothing else; or plain, at
// the user's express choice.
enum class TTLSMode { tmImplicit, tmWhenOffered, tmRequired, tmNone };

inline constexpr char kNoSTLSRequired[] =
    "TLS: the server does not offer STLS, which this account requires";

class TSASLMechanism;

// A POP3 session (RFC 1939): log in, list unique ids, count, fetch headers, read sizes,
// mark for deletion and log out. Every failure is raised; its message is what the log shows.
class TPOP3 : public TMessageClient {
  public:
    TPOP3();

    std::string Username;
    std::string Password;
    bool APOP = false;
    // Non-empty: an OAuth 2.0 sign-in with this bearer token, by XOAUTH2 when the server
    // lists it, else by OAUTHBEARER. Password and APOP are then not used.
    std::string AccessToken;
    // Empty: chosen from CAPA. A password account takes SCRAM-SHA-256 when listed, PLAIN or
    // LOGIN when CAPA lists SASL but not USER, else USER and PASS (APOP as before). Otherwise
    // exactly this SASL mechanism (upper case), which the server must list.
    std::string SASLMechanism;
    TTLSMode TLS = TTLSMode::tmWhenOffered;
    // The failure of tmRequired with a server that does not offer STLS.
    std::string NoSTLSText = kNoSTLSRequired;

    // What the server's CAPA listing named last (first words, upper case); empty when it
    // answered CAPA with an error.
    std::vector<std::string> Capabilities;
    bool HasCapability(const std::string& AName) const;
    // The mechanisms of CAPA's SASL line (upper case), and the seconds of its LOGIN-DELAY
    // line (RFC 2449), -1 when not listed.
    std::vector<std::string> SASLMechanisms;
    int LoginDelaySeconds = -1;
    // The response code of the last reply: the reason of a failure, as its raised error's
    // text holds it (see ResponseCodeOf).
    TResponseCode LastResponseCode = TResponseCode::None;
    // How the last Connect signed in, or tried to: "USER", "APOP" or the SASL mechanism.
    // Only USER, PLAIN and LOGIN hand the password over as it is.
    std::string SignInMechanism;

    // Connects with the time-out in milliseconds, reads the greeting, asks for CAPA, turns
    // on TLS as TLS says (asking for CAPA again over it), and logs in. A failure after the
    // connection is open sends QUIT and closes it before it goes on.
    void Connect(int ATimeout = TimeoutDefault) override;
    // Sends QUIT when connected (without reading its reply) and closes the connection.
    void Disconnect() override;

    std::int32_t GetMessageCount();
    // Appends the lines of the UIDL listing ("number uid") to AList; false on an error reply.
    bool ListUids(std::vector<std::string>& AList, std::int32_t AMsgNum = -1);
    bool FetchHeader(std::int32_t AMsgNum, TMailMessage& AMsg,
                     TMailMessage::TFields AFields = TMailMessage::TFields::All);
    // Size in octets, or -1 when the reply cannot be read.
    std::int32_t GetMessageSize(std::int32_t AMsgNum);
    bool MarkDeleted(std::int32_t AMsgNum);

    // Classifies "+OK" as 1 and "-ERR" as 2 before checking against the allowed codes.
    std::int32_t AwaitReply(const std::vector<std::int32_t>& AAllowed) override;

  private:
    void ReadCapabilities();
    // The mechanism the login uses; empty for USER and PASS.
    std::string ChooseMechanism() const;
    void Authenticate(TSASLMechanism& AMechanism);
    // Reads the next line of an AUTH exchange: a challenge, decoded; or the final reply,
    // nullopt for +OK (a -ERR raises, with the mechanism's note).
    std::optional<std::string> AwaitChallenge(const TSASLMechanism& AMechanism);
    std::int32_t ClassifyReply(const std::vector<std::int32_t>& AAllowed);
};

}  // namespace kavrel
