#include "net/mail/header_list.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(HeaderList, Lookup) {
    THeaderList h;
    for (const char* line : {"Received: from a", "\tby b", "Subject: Hello", "\tworld", "  again  ",
                             "SUBJECT:second", "To : spaced@name", "From:x@y.z", "No colon here",
                             "X-Empty:", "Date: Tue, 15 Nov 1994 08:12:31"}) {
        h.Add(line);
    }
    h.Add("");  // the blank line that ends a header is not kept
    EXPECT_EQ(h.Count(), 11u);
    struct {
        const char* name;
        const char* value;
    } const rows[] = {
        {"Subject", "Hello world again"},  // folded lines join with single blanks; first wins
        {"subject", "Hello world again"},
        {"Received", "from a by b"},
        {"To", ""},  // 'To : x' is named "TO " and does not answer to "To"
        {"To ", "spaced@name"},
        {"FROM", "x@y.z"},
        {"X-Empty", ""},
        {"Missing", ""},
        {"Date", "Tue, 15 Nov 1994 08:12:31"},  // colons inside the value stay
    };
    for (const auto& r : rows) EXPECT_EQ(h.HeaderValue(r.name), r.value) << r.name;
    EXPECT_EQ(FieldNameOf("Subject : x"), "SUBJECT ");
    EXPECT_EQ(FieldNameOf("no colon"), "");
}

}  // namespace
}  // namespace kavrel
