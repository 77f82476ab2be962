#include <gtest/gtest.h>

#include "net/pop3/pop3.h"
#include "net/transport/net_errors.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/raises.h"
#include "tests/support/time_zone.h"

namespace kavrel {
namespace {

using test::TDovecotServer;

// Against the server people actually run: what the scripted tests prove byte by byte must
// also hold in a real session.
class Pop3Dovecot : public testing::Test {
  protected:
    void SetUp() override {
        server_.AddMessage("ann",
                           "From: Ann Lee <ann@example.org>\n"
                           "Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?=\n"
                           "Date: Tue, 15 Nov 1994 08:12:31 +0100\n\nfirst body\n");
        server_.AddMessage("ann",
                           "From: bob@example.org\nSubject: second\n"
                           "Date: Wed, 16 Nov 1994 09:00:00 +0000\n\n..dotted body\n");
        server_.AddMessage("ann", "From: <carol@example.org>\nSubject: third\n\nbody\n");
    }

    void Prepare(TPOP3& pop, const std::string& password = "secret") {
        pop.Host = "127.0.0.1";
        pop.Port = server_.Port();
        pop.Username = "ann";
        pop.Password = password;
    }

    test::TScopedTimeZone tz_{"UTC0"};
    TDovecotServer server_{TDovecotServer::TUsers{{"ann", "secret"}}};
};

TEST_F(Pop3Dovecot, ACheckSession) {
    TPOP3 pop;
    Prepare(pop);
    pop.Connect(10000);
    std::vector<std::string> uids;
    ASSERT_TRUE(pop.ListUids(uids));
    ASSERT_EQ(pop.GetMessageCount(), 3);
    ASSERT_EQ(uids.size(), 3u);
    std::vector<std::string> from, subjects;
    for (int r = 1; r <= 3; ++r) {
        EXPECT_EQ(uids[r - 1].rfind(std::to_string(r) + " ", 0), 0u) << uids[r - 1];
        TMailMessage m;
        ASSERT_TRUE(pop.FetchHeader(r, m));
        from.push_back(m.From.Address);
        subjects.push_back(m.Subject);
        EXPECT_GT(pop.GetMessageSize(r), 0);
    }
    EXPECT_EQ(from, (std::vector<std::string>{"ann@example.org", "bob@example.org",
                                              "carol@example.org"}));
    EXPECT_EQ(subjects[0],
              "Gr\xC3\xBC\xC3\x9F"
              "e");
    pop.Disconnect();
    EXPECT_FALSE(pop.IsConnected());
}

TEST_F(Pop3Dovecot, DeletedMessageIsGoneInTheNextSession) {
    std::vector<std::string> before;
    {
        TPOP3 pop;
        Prepare(pop);
        pop.Connect(10000);
        pop.ListUids(before);
        EXPECT_TRUE(pop.MarkDeleted(2));
        pop.Disconnect();
    }
    TPOP3 pop;
    Prepare(pop);
    pop.Connect(10000);
    std::vector<std::string> after;
    pop.ListUids(after);
    EXPECT_EQ(pop.GetMessageCount(), 2);
    ASSERT_EQ(after.size(), 2u);
    const std::string deletedUid = before[1].substr(before[1].find(' ') + 1);
    for (const std::string& line : after) EXPECT_EQ(line.find(deletedUid), std::string::npos);
    pop.Disconnect();
}

TEST_F(Pop3Dovecot, WrongPasswordGivesTheServersText) {
    TPOP3 pop;
    Prepare(pop, "wrong");
    EXPECT_EQ(test::MessageOf<EProtocolReplyError>([&] { pop.Connect(10000); }),
              " [AUTH] Authentication failed.\r\n");
    EXPECT_FALSE(pop.IsConnected());
}

}  // namespace
}  // namespace kavrel
