#include "net/mail/email_address.h"

#include <gtest/gtest.h>

#include "tests/support/raises.h"
namespace kavrel {
namespace {

TEST(EmailAddress, Parser) {
    struct {
        const char* text;
        const char* address;
        const char* name;
    } const rows[] = {
        {"Ann Lee <a@b.c>", "a@b.c", "Ann Lee"},
        {"\"Lee, Ann\" <a@b.c>", "a@b.c", "Lee, Ann"},
        {"a@b.c", "a@b.c", ""},
        {"<a@b.c>", "a@b.c", ""},
        {"a@b.c (Ann Lee)", "a@b.c", ""},
        {"<postmaster>", "postmaster", ""},
        {"ann", "ann", ""},
        {"Ann Lee", "", "Ann Lee"},
        {"Ann <a@b.c", "a@b.c", "Ann"},
        {"<a @ b . c>", "a@b.c", ""},
        {"a@b.c, d@e.f", "a@b.c", ""},  // the first of a list, not both run together
        {"", "", ""},
        {"  \t ", "", ""},
        {"\"Ann \\\"the\\\" Lee\" <a@b.c>", "a@b.c", "Ann \"the\" Lee"},
        {"Ann (comment) <a@b.c>", "a@b.c", "Ann"},
        {"\"unterminated <a@b.c>", "", "unterminated <a@b.c>"},
        {"trailing\\", "trailing\\", ""},
        {"\"a\\", "", "a"},
        {"john@example.com <john@example.com>", "john@example.com", "john@example.com"},
        {"<a@b.c, d@e.f>", "a@b.c", ""},
        {"a@[192.0.2.1] Ann", "a@[192.0.2.1]", ""},
        {"Team: Ann <a@b.c>, d@e.f;", "a@b.c", "Ann"},
        {"=?UTF-8?Q?Lee,_Ann?= <a@b.c>", "a@b.c", "=?UTF-8?Q?Lee,_Ann?="},
    };
    for (const auto& r : rows) {
        TEMailAddressItem item;
        item.Address = "old";
        item.Name = "old";
        item.Text(r.text);
        EXPECT_EQ(item.Address, r.address) << r.text;
        EXPECT_EQ(item.Name, r.name) << r.text;
    }
}

TEST(EmailAddress, AtOutsideTheAddressFails) {
    for (const char* text : {"Ann <a@b.c> via d@e.f", "<a> b@c", "a@b.c d@e.f"}) {
        TEMailAddressItem item;
        EXPECT_EQ(test::MessageOf<EEmailParseError>([&] { item.Text(text); }), "@ Outside address")
            << text;
    }
}

TEST(EmailAddress, Lists) {
    struct {
        const char* text;
        std::vector<std::pair<std::string, std::string>> items;  // address, name
    } const rows[] = {
        {"", {}},
        {"a@b.c", {{"a@b.c", ""}}},
        {"a@b.c, Ann <d@e.f>", {{"a@b.c", ""}, {"d@e.f", "Ann"}}},
        {"\"Lee, Ann\" <a@b.c>, b@c.d", {{"a@b.c", "Lee, Ann"}, {"b@c.d", ""}}},
        {"a@b.c (x, y), d@e.f", {{"a@b.c", ""}, {"d@e.f", ""}}},
        {"Team: a@b.c, Ann <d@e.f>; e@f.g", {{"a@b.c", ""}, {"d@e.f", "Ann"}, {"e@f.g", ""}}},
        {"undisclosed-recipients:;", {}},
        {" , ,a@b.c,", {{"a@b.c", ""}}},
        {"\"x\\\",y\" <a@b.c>", {{"a@b.c", "x\",y"}}},
        {"a@b.c; Ann Lee, <d@e.f>", {{"a@b.c", ""}, {"", "Ann Lee"}, {"d@e.f", ""}}},
    };
    for (const auto& r : rows) {
        TEMailAddressList list{TEMailAddressItem{"stale", "stale"}};
        SplitAddressList(list, r.text);
        ASSERT_EQ(list.size(), r.items.size()) << r.text;
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].Address, r.items[i].first) << r.text;
            EXPECT_EQ(list[i].Name, r.items[i].second) << r.text;
        }
    }
    TEMailAddressList list;
    EXPECT_THROW(SplitAddressList(list, "a@b.c, Ann <a@b.c> via d@e.f"), EEmailParseError);
}

}  // namespace
}  // namespace kavrel
