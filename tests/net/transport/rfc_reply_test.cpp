#include "net/transport/rfc_reply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kavrel {
namespace {

TEST(RFCReply, FromLines) {
    using Lines = std::vector<std::string>;
    struct {
        const char* name;
        Lines lines;
        const char* textCode;
        std::int32_t numericCode;
        Lines text;
    } const rows[] = {
        {"positive POP3", {"+OK ready"}, "+OK", 0, {"ready"}},
        {"negative keeps the blank", {"-ERR no such message"}, "-ERR", 0, {" no such message"}},
        {"numeric", {"220 mail ready"}, "220", 220, {"mail ready"}},
        {"multi-line",
         {"250-first", "250-second", "250 last"},
         "250",
         250,
         {"first", "second", "last"}},
        {"code alone", {"+OK"}, "+OK", 0, {""}},
        {"short code", {"22"}, "22", 22, {""}},
        {"letters in a numeric code", {"2x0 odd"}, "2x0", 0, {"odd"}},
        {"no blank after the code", {"1234567890"}, "1234", 1234, {"567890"}},
        {"short lines inside", {"250-a", "25", "250 z"}, "250", 250, {"a", "", "z"}},
        {"empty", {""}, "", 0, {""}},
    };
    for (const auto& r : rows) {
        TRFCReply reply;
        reply.SetReply(r.lines);
        EXPECT_EQ(reply.TextCode, r.textCode) << r.name;
        EXPECT_EQ(reply.NumericCode, r.numericCode) << r.name;
        EXPECT_EQ(reply.Text, r.text) << r.name;
    }
}

TEST(RFCReply, FormattedTextEndsEveryLine) {
    TRFCReply reply;
    reply.SetReply({"550-no", "550 mailbox"});
    EXPECT_EQ(reply.FormattedText(), "no\r\nmailbox\r\n");
    reply.Clear();
    EXPECT_EQ(reply.NumericCode, 0);
    EXPECT_TRUE(reply.TextCode.empty());
    EXPECT_TRUE(reply.Text.empty());
}

}  // namespace
}  // namespace kavrel
