// POP3 over TLS against dovecot with certificates from a throw-away authority: TLS from the
// first byte, the STLS upgrade, and each way a certificate can be wrong.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "net/pop3/pop3.h"
#include "net/pop3/server_address.h"
#include "net/transport/net_errors.h"
#include "net/transport/tls_handler.h"
#include "tests/support/descriptors.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/raises.h"
#include "tests/support/tap_relay.h"
#include "tests/support/test_authority.h"

namespace kavrel {
namespace {

using test::MessageOf;
using test::OpenDescriptors;
using test::TDovecotServer;
using test::TTapRelay;
using test::TTestAuthority;

const TDovecotServer::TUsers kUsers = {{"ann", "secret"}};

class Pop3Tls : public testing::Test {
  protected:
    static void SetUpTestSuite() { authority_ = std::make_unique<TTestAuthority>(); }
    static void TearDownTestSuite() { authority_.reset(); }

    static TDovecotServer::TTls Tls(const TTestAuthority::TKeyPair& pair) {
        return {pair.cert, pair.key};
    }

    static void Prepare(TPOP3& pop, const std::string& server) {
        SetServer(pop, server);
        pop.Username = "ann";
        pop.Password = "secret";
        pop.ReadTimeout = 10000;
    }

    static std::unique_ptr<TTestAuthority> authority_;
};

std::unique_ptr<TTestAuthority> Pop3Tls::authority_;

TEST_F(Pop3Tls, ASessionOverTlsFromTheFirstByteAndOverStls) {
    TDovecotServer server(kUsers, Tls(authority_->IssueForLoopback()));
    server.AddMessage("ann", "From: Ann <ann@example.org>\nSubject: one\n\nbody\n");
    server.AddMessage("ann", "From: bob@example.org\nSubject: two\n\nbody\n");
    const std::string port = std::to_string(server.Port());
    const std::string tlsPort = std::to_string(server.TlsPort());
    int expected = 2;
    for (const std::string& text :
         {"pop3s://127.0.0.1:" + tlsPort, "pop3s://localhost:" + tlsPort, "127.0.0.1:" + port,
          "pop3://localhost:" + port + "?tls=required"}) {
        TPOP3 pop;
        Prepare(pop, text);
        pop.Connect(10000);
        EXPECT_TRUE(pop.TLSActive()) << text;
        std::vector<std::string> uids;
        ASSERT_TRUE(pop.ListUids(uids)) << text;
        ASSERT_EQ(pop.GetMessageCount(), expected) << text;
        TMailMessage m;
        ASSERT_TRUE(pop.FetchHeader(1, m));
        EXPECT_GT(pop.GetMessageSize(1), 0);
        // Each session deletes its first message: the next one must see it gone.
        EXPECT_TRUE(pop.MarkDeleted(1)) << text;
        pop.Disconnect();
        if (expected > 0) --expected;
        if (expected == 0) {
            server.AddMessage("ann", "From: c@example.org\nSubject: more\n\nbody\n");
            expected = 1;
        }
    }
}

TEST_F(Pop3Tls, TheLoginNeverCrossesTheWireInClearAfterStls) {
    TDovecotServer server(kUsers, Tls(authority_->IssueForLoopback()));
    TTapRelay tap(server.Port());
    for (const char* how : {"127.0.0.1:", "pop3://127.0.0.1:"}) {
        TPOP3 pop;
        Prepare(pop, how + std::to_string(tap.Port()) + (how[0] == 'p' ? "?tls=required" : ""));
        pop.Connect(10000);
        EXPECT_TRUE(pop.TLSActive());
        EXPECT_EQ(pop.GetMessageCount(), 0);
        pop.Disconnect();
    }
    const std::string wire = tap.ClientBytes();
    EXPECT_EQ(wire.rfind("CAPA\r\nSTLS\r\n", 0), 0u) << wire.substr(0, 40);
    for (const char* secret : {"USER", "PASS", "ann", "secret", "STAT"})
        EXPECT_EQ(wire.find(secret), std::string::npos) << secret << " seen in clear";
}

// TLS records that arrive in pieces are put together; one whose rest never comes ends the
// read at the time-out instead of blocking on it.
TEST_F(Pop3Tls, RecordsInPiecesAndARecordCutShort) {
    TDovecotServer server(kUsers, Tls(authority_->IssueForLoopback()));
    server.AddMessage("ann", "From: Ann <ann@example.org>\nSubject: one\n\nbody\n");
    TTapRelay tap(server.TlsPort());
    tap.Trickle = 7;
    TPOP3 pop;
    Prepare(pop, "pop3s://127.0.0.1:" + std::to_string(tap.Port()));
    pop.ReadTimeout = 1000;
    pop.Connect(10000);
    TMailMessage m;
    ASSERT_TRUE(pop.FetchHeader(1, m));
    EXPECT_EQ(m.Subject, "one");

    tap.Hold = true;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(MessageOf<ENetException>([&] { pop.GetMessageCount(); }), "Read Timeout");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    pop.Disconnect();
}

TEST_F(Pop3Tls, AServerWithoutStls) {
    TDovecotServer server(kUsers);
    TTapRelay tap(server.Port());
    const std::string port = std::to_string(tap.Port());

    TPOP3 plain;
    Prepare(plain, "127.0.0.1:" + port);
    plain.Connect(10000);
    EXPECT_FALSE(plain.TLSActive());
    EXPECT_EQ(plain.GetMessageCount(), 0);
    plain.Disconnect();
    EXPECT_NE(tap.ClientBytes().find("CAPA\r\nUSER ann\r\nPASS secret\r\n"), std::string::npos)
        << tap.ClientBytes();

    const std::size_t before = tap.ClientBytes().size();
    TPOP3 strict;
    Prepare(strict, "pop3://127.0.0.1:" + port + "?tls=required");
    EXPECT_EQ(MessageOf<ETLSError>([&] { strict.Connect(10000); }),
              "TLS: the server does not offer STLS, which this account requires");
    EXPECT_FALSE(strict.IsConnected());
    EXPECT_EQ(tap.ClientBytes().find("USER", before), std::string::npos);

    TPOP3 implicit;
    Prepare(implicit, "pop3s://127.0.0.1:" + port);
    EXPECT_EQ(
        MessageOf<ETLSError>([&] { implicit.Connect(10000); }).rfind("TLS: handshake failed: ", 0),
        0u);
}

TEST_F(Pop3Tls, ACertificateThatIsWrongFailsTheAccountWithItsReason) {
    const std::size_t descriptors = OpenDescriptors();
    struct {
        const char* name;
        TTestAuthority::TKeyPair pair;
        const char* host;
        const char* message;
    } const rows[] = {
        {"another name", authority_->Issue("DNS:mail.example.org"), "localhost",
         "TLS: certificate verify failed: hostname mismatch"},
        {"another address", authority_->Issue("IP:10.1.2.3,DNS:localhost"), "127.0.0.1",
         "TLS: certificate verify failed: IP address mismatch"},
        {"expired", authority_->Issue("IP:127.0.0.1,DNS:localhost", -1), "localhost",
         "TLS: certificate verify failed: certificate has expired"},
        {"self-signed", authority_->Issue("IP:127.0.0.1,DNS:localhost", 2, true), "localhost",
         "TLS: certificate verify failed: self-signed certificate"},
    };
    for (const auto& r : rows) {
        TDovecotServer server(kUsers, Tls(r.pair));
        for (const std::string& text :
             {"pop3s://" + std::string(r.host) + ":" + std::to_string(server.TlsPort()),
              std::string(r.host) + ":" + std::to_string(server.Port())}) {
            TPOP3 pop;
            Prepare(pop, text);
            EXPECT_EQ(MessageOf<ETLSError>([&] { pop.Connect(10000); }), r.message)
                << r.name << " " << text;
            EXPECT_FALSE(pop.IsConnected());
        }
    }
    EXPECT_EQ(OpenDescriptors(), descriptors) << "a failed handshake left a descriptor open";
}

}  // namespace
}  // namespace kavrel
