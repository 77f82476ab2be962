// Signing in through SASL: which mechanism the session picks and the exact lines it writes,
// against the scripted server; then every mechanism against dovecot with a real token check.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/base64.h"
#include "net/pop3/pop3.h"
#include "net/pop3/sasl_mechanism.h"
#include "net/transport/net_errors.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/oauth_server.h"
#include "tests/support/pop3_script.h"
#include "tests/support/raises.h"
#include "tests/support/script_server.h"

namespace kavrel {
namespace {

using namespace kavrel::test;

constexpr char kPasswordOk[] = "<nothing raised>";

void Aim(TPOP3& pop, int port, const std::string& password) {
    pop.Host = "127.0.0.1";
    pop.Port = port;
    pop.Username = "ann";
    pop.Password = password;
}

TScript Greeting(const std::vector<std::string>& capabilities,
                 const std::string& greeting = "+OK ready") {
    return TScript{SendLine(greeting)} + Capa(capabilities);
}

TEST(Pop3Sasl, ChoosesTheMechanismAndWritesEachAnswerOnItsOwnLine) {
    const TScript loggedIn = {SendLine("+OK logged in"), Expect("QUIT"), Close()};
    const TScript refused = {Expect("QUIT"), Close()};
    struct {
        const char* name;
        std::function<void(TPOP3&)> account;
        TScript script;
        std::string message;  // kPasswordOk: signed in
        TResponseCode code = TResponseCode::None;
    } const rows[] = {
        {"USER listed: USER and PASS as always, SASL PLAIN or not", [](TPOP3&) {},
         Greeting({"USER", "SASL PLAIN LOGIN"}) +
             TScript{Expect("USER ann"), SendLine("+OK"), Expect("PASS s3cret x")} + loggedIn,
         kPasswordOk},
        {"no USER: PLAIN, the answer on a continuation line", [](TPOP3&) {},
         Greeting({"TOP", "SASL PLAIN"}) +
             TScript{Expect("AUTH PLAIN"), SendLine("+ "),
                     Expect(Base64Encode(std::string("\0ann\0s3cret x", 13)))} +
             loggedIn,
         kPasswordOk},
        {"no USER, no PLAIN: LOGIN", [](TPOP3&) {},
         Greeting({"SASL LOGIN"}) +
             TScript{Expect("AUTH LOGIN"), SendLine("+ VXNlcm5hbWU6"), Expect("YW5u"),
                     SendLine("+ UGFzc3dvcmQ6"), Expect("czNjcmV0IHg="),
                     SendLine("-ERR [AUTH] Authentication failed.")} +
             refused,
         " [AUTH] Authentication failed.\r\n", TResponseCode::Auth},
        {"APOP stays APOP though SCRAM is listed", [](TPOP3& p) { p.APOP = true; },
         Greeting({"SASL SCRAM-SHA-256"},
                  "+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>") +
             TScript{Expect("APOP ann 093fa6fe3f984e92923c24839243751a")} + loggedIn,
         kPasswordOk},
        {"token: the server offers no OAuth", [](TPOP3& p) { p.AccessToken = "tok3n"; },
         Greeting({"USER", "SASL PLAIN"}) + refused,
         "The server offers no OAuth sign-in (neither XOAUTH2 nor OAUTHBEARER) for the access "
         "token."},
        {"a chosen mechanism the server does not list",
         [](TPOP3& p) { p.SASLMechanism = "scram-sha-256"; },
         Greeting({"USER", "SASL PLAIN"}) + refused,
         "The server does not offer the sign-in SCRAM-SHA-256."},
        {"a challenge that is not base64", [](TPOP3&) {},
         Greeting({"SASL PLAIN"}) +
             TScript{Expect("AUTH PLAIN"), SendLine("+ not base64!"), Expect("*")} + refused,
         "The server's SASL challenge is not base64."},
        // A server that says +OK without the proof could be anybody.
        {"SCRAM success without the server's signature",
         [](TPOP3& p) { p.SASLMechanism = "SCRAM-SHA-256"; },
         Greeting({"SASL SCRAM-SHA-256"}) + TScript{Expect("AUTH SCRAM-SHA-256"),
                                                    SendLine("+OK take it"), Expect("QUIT"),
                                                    Close()},
         "SCRAM-SHA-256: the server signed in without proving that it knows the password; it may "
         "not be the server it claims to be."},
        {"a delay the server wants kept", [](TPOP3&) {},
         Greeting({"USER", "LOGIN-DELAY 900"}) +
             TScript{Expect("USER ann"), SendLine("+OK"), Expect("PASS s3cret x"),
                     SendLine("-ERR [LOGIN-DELAY] wait 15 minutes between logins")} +
             refused,
         " [LOGIN-DELAY] wait 15 minutes between logins\r\n", TResponseCode::LoginDelay},
    };
    for (const auto& r : rows) {
        TScriptServer server(r.script);
        TPOP3 pop;
        Aim(pop, server.Port(), "s3cret x");
        r.account(pop);
        EXPECT_EQ(MessageOf<ENetException>([&] { pop.Connect(5000); }), r.message) << r.name;
        EXPECT_EQ(pop.LastResponseCode, r.code) << r.name;
        if (pop.IsConnected()) pop.Disconnect();
        EXPECT_TRUE(server.Finish()) << r.name << "\n" << server.Report();
    }
}

TEST(Pop3Sasl, CapaNamesTheMechanismsAndTheLoginDelay) {
    TScriptServer server(
        Greeting({"TOP", "SASL plain  Scram-SHA-1", "LOGIN-DELAY 900 USER", "USER"}) +
        TScript{Expect("USER ann"), SendLine("+OK"), Expect("PASS x"), SendLine("+OK"),
                Expect("QUIT"), Close()});
    TPOP3 pop;
    Aim(pop, server.Port(), "x");
    pop.Connect(5000);
    EXPECT_EQ(pop.SASLMechanisms, (std::vector<std::string>{"PLAIN", "SCRAM-SHA-1"}));
    EXPECT_EQ(pop.LoginDelaySeconds, 900);
    EXPECT_EQ(pop.Capabilities, (std::vector<std::string>{"TOP", "SASL", "LOGIN-DELAY", "USER"}));
    pop.Disconnect();
    EXPECT_TRUE(server.Finish()) << server.Report();
}

// Each mechanism against dovecot, whose oauth2 passdb asks the test authorization server
// about every token.
TEST(Pop3Sasl, EveryMechanismSignsInToDovecotAndIsRefusedWithBadCredentials) {
    TOAuthServer authorization;
    TDovecotServer dovecot({{"ann", "secret"}}, {},
                           {.scram = true, .introspectionUrl = authorization.Url("/introspect")});
    dovecot.AddMessage("ann", "From: bob@example.org\nSubject: hello\n\nbody\n");
    const std::string live = authorization.Issue("ann");
    const std::string refused = " [AUTH] Authentication failed.\r\n";
    // dovecot answers XOAUTH2 with an HTTP status and OAUTHBEARER with RFC 7628's error.
    const std::string tokenRefused =
        " [AUTH] Authentication failed. (the server refused the token: status 401)\r\n";
    const std::string bearerRefused =
        " [AUTH] Authentication failed. (the server refused the token: status invalid_token)\r\n";
    struct {
        const char* mechanism;
        std::string password;
        std::string token;
        std::string message;  // kPasswordOk: signed in
    } const rows[] = {
        {"", "secret", "", kPasswordOk},  // automatic: SCRAM, since dovecot lists it
        {"SCRAM-SHA-256", "secret", "", kPasswordOk},
        {"SCRAM-SHA-256", "wrong", "", refused},
        {"PLAIN", "secret", "", kPasswordOk},
        {"PLAIN", "wrong", "", refused},
        {"LOGIN", "secret", "", kPasswordOk},
        {"LOGIN", "wrong", "", refused},
        {"XOAUTH2", "", live, kPasswordOk},
        // Automatic with a token: XOAUTH2, whose refusal is answered with an empty line.
        {"", "", "at-not-issued", tokenRefused},
        {"OAUTHBEARER", "", live, kPasswordOk},
        {"OAUTHBEARER", "", "at-not-issued", bearerRefused},
    };
    for (const auto& r : rows) {
        const std::string name = std::string(r.mechanism) + " " + r.password + r.token;
        TPOP3 pop;
        Aim(pop, dovecot.Port(), r.password);
        pop.AccessToken = r.token;
        pop.SASLMechanism = r.mechanism;
        pop.ReadTimeout = 10000;
        EXPECT_EQ(MessageOf<EProtocolReplyError>([&] { pop.Connect(10000); }), r.message)
            << name << "\n"
            << dovecot.Log();
        if (r.message == kPasswordOk) {
            EXPECT_EQ(pop.SignInMechanism, *r.mechanism ? r.mechanism : "SCRAM-SHA-256") << name;
            EXPECT_EQ(pop.GetMessageCount(), 1) << name;
            pop.Disconnect();
        } else {
            EXPECT_EQ(pop.LastResponseCode, TResponseCode::Auth) << name;
            EXPECT_FALSE(pop.IsConnected()) << name;
        }
    }
    // The session's tokens went to the server for checking; the live one was accepted twice.
    EXPECT_EQ(authorization.Stats()["introspect_active"], 2);
}

}  // namespace
}  // namespace kavrel
