#include "net/transport/socket_stack.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <optional>
#include <thread>
#include <vector>

#include "net/transport/net_component.h"
#include "net/transport/net_errors.h"
#include "tests/support/raises.h"

namespace kavrel {
namespace {

TEST(SocketStack, IPLiteralForms) {
    struct {
        const char* name;
        const char* text;
        std::optional<std::uint32_t> expected;
    } const rows[] = {
        {"dotted quad", "192.168.1.10", 0xC0A8010A},
        {"one part is the whole address", "3232235777", 0xC0A80101},
        {"one part at its top", "4294967295", 0xFFFFFFFF},
        {"one part past 32 bits", "4294967296", std::nullopt},
        {"two parts: last three bytes", "10.1", 0x0A000001},
        {"two parts at their top", "255.16777215", 0xFFFFFFFF},
        {"two parts, second too big", "1.16777216", std::nullopt},
        {"three parts: last two bytes", "127.0.1", 0x7F000001},
        {"three parts, third too big", "1.2.65536", std::nullopt},
        {"leading zeros are decimal, not octal", "0127.0.0.010", 0x7F00000A},
        {"octet too big", "256.1.1.1", std::nullopt},
        {"five parts", "1.2.3.4.5", std::nullopt},
        {"trailing dot ends the form early", "1.2.3.", 0x01020003},
        {"empty second part decides the form", "1..9", 0x00000001},
        {"empty first part", ".1.2.3", std::nullopt},
        {"empty", "", std::nullopt},
        {"hexadecimal", "0x7f.0.0.1", std::nullopt},
        {"sign", "+1.2.3.4", std::nullopt},
        {"blank", " 1.2.3.4", std::nullopt},
        {"host name", "mail.example.com", std::nullopt},
        {"many digits", "000000000000000000001", 1},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(TSocketStack::ParseIPLiteral(r.text), r.expected) << r.name;
        EXPECT_EQ(TSocketStack::IsIPLiteral(r.text), r.expected.has_value()) << r.name;
    }
}

TEST(SocketStack, ErrorTexts) {
    struct {
        std::int32_t code;
        const char* expected;
    } const rows[] = {
        {10061, "Socket Error # 10061\r\nConnection refused."},
        {10054, "Socket Error # 10054\r\nConnection reset by peer."},
        {10035, "Socket Error # 10035\r\nOperation would block. "},
        {10066, "Socket Error # 10066\r\nDirectory not empty"},
        {11001, "Socket Error # 11001\r\nHost not found."},
        {10005, "Socket Error # 10005\r\n"},
        {11002, "Socket Error # 11002\r\n"},
    };
    for (const auto& r : rows) EXPECT_EQ(TSocketStack::SocketErrorText(r.code), r.expected);
}

TEST(SocketStack, PlatformErrorsBecomeSocketCodes) {
    struct {
        int error;
        std::int32_t code;
    } const rows[] = {
        {ECONNREFUSED, 10061}, {ECONNRESET, 10054},  {EPIPE, 10054},        {ETIMEDOUT, 10060},
        {EAGAIN, 10035},       {EINPROGRESS, 10036}, {ENOTSOCK, 10038},     {EBADF, 10009},
        {ECONNABORTED, 10053}, {ESHUTDOWN, 10058},   {EHOSTUNREACH, 10065}, {ENETUNREACH, 10051},
        {EMFILE, 10024},       {ENFILE, 10024},
    };
    for (const auto& r : rows) EXPECT_EQ(TSocketStack::CodeFromErrno(r.error), r.code) << r.error;
    // Outside the table the number cannot be mistaken for one of its codes.
    EXPECT_LT(TSocketStack::CodeFromErrno(ENOENT), 10000);

    EXPECT_EQ(TSocketStack::CodeFromLookupError(EAI_NONAME, 0), 11001);
    EXPECT_EQ(TSocketStack::CodeFromLookupError(EAI_NODATA, 0), 11001);
    EXPECT_EQ(TSocketStack::CodeFromLookupError(EAI_AGAIN, 0), 11002);
    EXPECT_EQ(TSocketStack::CodeFromLookupError(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(SocketStack, LookupWithoutAskingTheNetwork) {
    const TNetComponent holder;
    TSocketStack& stack = TSocketStack::Instance();
    EXPECT_EQ(stack.LookupHost("localhost"), "127.0.0.1");
    EXPECT_EQ(stack.LookupHost("LocalHost"), "127.0.0.1");
    EXPECT_EQ(stack.LookupHost("10.1"), "10.1");  // handed back as written
    // The resolver rejects a name with an empty label before it sends any query.
    EXPECT_EQ(test::MessageOf<ESocketError>([&] { stack.LookupHost("no..such..host"); }),
              "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(stack.LastError(), 11001);
    EXPECT_EQ(test::MessageOf<ESocketError>([&] { stack.LookupHost(""); }),
              "Socket Error # 11001\r\nHost not found.");
}

TEST(SocketStack, CheckSocketResult) {
    const TNetComponent holder;
    TSocketStack& stack = TSocketStack::Instance();
    errno = ECONNRESET;
    EXPECT_FALSE(stack.CheckSocketResult(0, {}));
    EXPECT_FALSE(stack.CheckSocketResult(12, {}));
    errno = ECONNRESET;
    EXPECT_TRUE(stack.CheckSocketResult(-1, {10053, 10054}));
    EXPECT_EQ(stack.LastError(), 10054);
    errno = ECONNREFUSED;
    try {
        stack.CheckSocketResult(-1, {10054});
        FAIL() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.LastError, 10061);
        EXPECT_STREQ(e.what(), "Socket Error # 10061\r\nConnection refused.");
    }
}

TEST(SocketStack, OneInstanceWhileAnyNetworkObjectLives) {
    ASSERT_EQ(TSocketStack::InstanceCount(), 0);
    {
        const TNetComponent first;
        TSocketStack* const seen = &TSocketStack::Instance();
        {
            const TNetComponent second;
            EXPECT_EQ(&TSocketStack::Instance(), seen);
        }
        EXPECT_EQ(TSocketStack::InstanceCount(), 1);
    }
    EXPECT_EQ(TSocketStack::InstanceCount(), 0);

    // Creation and destruction from many threads at once never lose count.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 500; ++i) {
                const TNetComponent c;
                TSocketStack::Instance().LookupHost("localhost");
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(TSocketStack::InstanceCount(), 0);
}

}  // namespace
}  // namespace kavrel
