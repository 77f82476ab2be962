#include <gtest/gtest.h>

#include "tests/support/dovecot_server.h"
#include "tests/support/raw_client.h"

namespace kavrel::test {
namespace {

// The fixture itself: a seeded mailbox is what a plain session sees.
TEST(DovecotFixture, ServesSeededMessages) {
    TDovecotServer server(TDovecotServer::TUsers{{"ann", "secret"}});
    server.AddMessage("ann", "From: a@b.c\nSubject: one\n\nbody\n");
    server.AddMessage("ann", "From: a@b.c\nSubject: two\n\nbody\n");
    TRawClient c(server.Port());
    EXPECT_EQ(c.ReadLine().rfind("+OK", 0), 0u);
    c.SendLine("USER ann");
    EXPECT_EQ(c.ReadLine().rfind("+OK", 0), 0u);
    c.SendLine("PASS secret");
    EXPECT_EQ(c.ReadLine().rfind("+OK", 0), 0u) << server.Log();
    c.SendLine("STAT");
    EXPECT_EQ(c.ReadLine().rfind("+OK 2 ", 0), 0u);
    c.SendLine("QUIT");
    EXPECT_EQ(c.ReadLine().rfind("+OK", 0), 0u);
}

}  // namespace
}  // namespace kavrel::test
