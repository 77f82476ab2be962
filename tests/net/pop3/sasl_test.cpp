// The SASL mechanisms on their own: what each answers, and what SCRAM refuses to believe.
// Their sessions with real servers are in pop3_sasl_test.cpp.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/base64.h"
#include "net/pop3/sasl_oauth.h"
#include "net/pop3/sasl_plain.h"
#include "net/pop3/sasl_prep.h"
#include "net/pop3/sasl_scram.h"
#include "tests/support/raises.h"

namespace kavrel {
namespace {

using test::MessageOf;

// The exchange of RFC 7677 section 3.
constexpr char kNonce[] = "rOprNGfwEbeRWgbNEkqO";
constexpr char kServerFirst[] =
    "r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0,s=W22ZaJ0SNY7soEsUEjb6gQ==,i=4096";
constexpr char kClientFinal[] =
    "c=biws,r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0,"
    "p=dHzbZapWIk4jUhN+Ute9ytag9zjfMHgsqmmiz7AndVQ=";
constexpr char kServerFinal[] = "v=6rriTRBi23WpRR/wtup+mMhUZUn/dB5nLTJRsjl95G4=";

TEST(Sasl, ScramSha256FollowsTheRfcExchange) {
    TSASLScramSHA256 scram("user", "pencil", kNonce);
    EXPECT_EQ(scram.Respond(""), "n,,n=user,r=rOprNGfwEbeRWgbNEkqO");
    EXPECT_EQ(scram.Respond(kServerFirst), kClientFinal);
    EXPECT_FALSE(scram.ServerVerified());
    EXPECT_EQ(scram.Respond(kServerFinal), "");
    EXPECT_TRUE(scram.ServerVerified());
}

TEST(Sasl, ScramRefusesAServerThatCannotProveItself) {
    const std::string nonce = std::string("r=") + kNonce + "%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0";
    struct {
        const char* name;
        std::string serverFirst;
        std::string serverFinal;  // not reached when serverFirst is refused
        std::string message;
    } const rows[] = {
        {"wrong signature", kServerFirst, "v=" + Base64Encode(std::string(32, 'x')),
         "SCRAM-SHA-256: the server could not prove that it knows the password; it may not be "
         "the server it claims to be"},
        {"the server's error", kServerFirst, "e=invalid-proof",
         "SCRAM-SHA-256: the server refused: invalid-proof"},
        {"signature not base64", kServerFirst, "v=*",
         "SCRAM-SHA-256: the server's challenge cannot be read"},
        {"nonce of another exchange", "r=somebody-elses,s=W22ZaJ0SNY7soEsUEjb6gQ==,i=4096", "",
         "SCRAM-SHA-256: the server's nonce does not continue the client's"},
        {"nonce not extended", std::string("r=") + kNonce + ",s=W22ZaJ0SNY7soEsUEjb6gQ==,i=4096",
         "", "SCRAM-SHA-256: the server's nonce does not continue the client's"},
        {"mandatory extension", "m=ext," + nonce + ",s=W22ZaJ0SNY7soEsUEjb6gQ==,i=4096", "",
         "SCRAM-SHA-256: the server requires an extension this program lacks"},
        {"work beyond bounds", nonce + ",s=W22ZaJ0SNY7soEsUEjb6gQ==,i=2000000000", "",
         "SCRAM-SHA-256: the server asks for 2000000000 iterations"},
        {"no salt", nonce + ",i=4096", "", "SCRAM-SHA-256: the server's challenge cannot be read"},
        {"no attributes", "garbage", "", "SCRAM-SHA-256: the server's challenge cannot be read"},
    };
    for (const auto& r : rows) {
        TSASLScramSHA256 scram("user", "pencil", kNonce);
        scram.Respond("");
        const std::string message = MessageOf<ESASLError>([&] {
            scram.Respond(r.serverFirst);
            scram.Respond(r.serverFinal);
        });
        EXPECT_EQ(message, r.message) << r.name;
        EXPECT_FALSE(scram.ServerVerified()) << r.name;
    }
}

TEST(Sasl, MechanismsAnswerWithTheirRfcBytes) {
    // Each challenge in turn gets its answer; with an error, one more challenge raises it.
    struct {
        const char* name;
        std::unique_ptr<TSASLMechanism> mechanism;
        std::vector<std::pair<std::string, std::string>> exchange;
        std::string error = {};
        std::string refusalNote = {};
    } rows[] = {
        {"PLAIN",
         std::make_unique<TSASLPlain>("ann", "s3cret x"),
         {{"", std::string("\0ann\0s3cret x", 13)}},
         "PLAIN: the server asked again after the password"},
        {"LOGIN whatever the prompts",
         std::make_unique<TSASLLogin>("ann", "s3cret x"),
         {{"Username:", "ann"}, {"", "s3cret x"}},
         "LOGIN: the server asked again after the password"},
        // The GS2 header escapes ',' and '=' in the name (RFC 5801, RFC 7628 3.1).
        {"OAUTHBEARER accepted",
         std::make_unique<TSASLOAuthBearer>("a,b=c", "tok3n", "pop.example.org", 995),
         {{"",
           "n,a=a=2Cb=3Dc,\x01host=pop.example.org\x01port=995\x01"
           "auth=Bearer tok3n\x01\x01"}}},
        {"XOAUTH2 refused: an empty acknowledgement",
         std::make_unique<TSASLXOAuth2>("ann", "tok3n"),
         {{"",
           "user=ann\x01"
           "auth=Bearer tok3n\x01\x01"},
          {R"({"status":"401","schemes":"bearer","scope":"mail"})", ""}},
         "XOAUTH2: the server asked again after refusing the token",
         "the server refused the token: status 401"},
        {"OAUTHBEARER refused: a kvsep acknowledges (RFC 7628 3.2.3)",
         std::make_unique<TSASLOAuthBearer>("ann", "tok3n", "h", 110),
         {{"",
           "n,a=ann,\x01host=h\x01port=110\x01"
           "auth=Bearer tok3n\x01\x01"},
          {R"({"status":400})", "\x01"}},
         "",
         "the server refused the token: status 400"},
        {"refusal that is not JSON",
         std::make_unique<TSASLXOAuth2>("ann", "tok3n"),
         {{"",
           "user=ann\x01"
           "auth=Bearer tok3n\x01\x01"},
          {"denied", ""}},
         "",
         "the server refused the token"},
    };
    for (auto& r : rows) {
        for (const auto& [challenge, answer] : r.exchange) {
            EXPECT_EQ(r.mechanism->Respond(challenge), answer) << r.name;
        }
        if (!r.error.empty()) {
            EXPECT_EQ(MessageOf<ESASLError>([&] { r.mechanism->Respond(""); }), r.error) << r.name;
        }
        EXPECT_EQ(r.mechanism->RefusalNote(), r.refusalNote) << r.name;
    }
    TSASLScramSHA256 scram("a,b=c", "x", "nonce");
    EXPECT_EQ(scram.Respond(""), "n,,n=a=2Cb=3Dc,r=nonce");
}

TEST(Sasl, PrepMapsSpacesAndDropsInvisibleCharacters) {
    struct {
        const char* name;
        std::string password;
        std::string prepared;
    } const rows[] = {
        {"ASCII as it is, controls included", "pen cil\t=,", "pen cil\t=,"},
        {"no-break space", "pen\u00A0cil", "pen cil"},
        {"ideographic space", "\u3000pencil", " pencil"},
        {"em space", "pen\u2003cil", "pen cil"},
        {"soft hyphen", "pen\u00ADcil", "pencil"},
        {"zero width joiner and byte order mark", "\uFEFFpen\u200Dcil", "pencil"},
        {"variation selector", "pencil\uFE0F", "pencil"},
        {"letters beyond ASCII kept", "p\u00E4ss\u00DF", "p\u00E4ss\u00DF"},
        {"not UTF-8: unchanged",
         "pen\xA0"
         "cil",
         "pen\xA0"
         "cil"},
        {"overlong form: unchanged", "\xC0\xA0", "\xC0\xA0"},
        {"cut short: unchanged", "pen\xE3\x80", "pen\xE3\x80"},
    };
    for (const auto& r : rows) EXPECT_EQ(SASLPrep(r.password), r.prepared) << r.name;
}

}  // namespace
}  // namespace kavrel
