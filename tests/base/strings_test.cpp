#include "base/strings.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(Strings, TrimRemovesCodesUpTo32Only) {
    std::string allLow;
    for (int c = 0; c <= 32; ++c) allLow += static_cast<char>(c);
    EXPECT_EQ(Trim(allLow + "a b" + allLow), "a b");
    EXPECT_EQ(TrimLeft(allLow + "x "), "x ");
    EXPECT_EQ(TrimRight(" x" + allLow), " x");
    EXPECT_EQ(Trim(allLow), "");
    // Bytes from 127 up are text (UTF-8 or Windows-1252), never blanks.
    EXPECT_EQ(Trim("\x7F\xA0\xC3\xA9 "), "\x7F\xA0\xC3\xA9");
}

TEST(Strings, CaseChangesTouchOnlyAsciiLetters) {
    EXPECT_EQ(UpperCase("abz{`@AZ \xC3\xA9"), "ABZ{`@AZ \xC3\xA9");
    EXPECT_EQ(LowerCase("ABZ[@az \xC3\x89"), "abz[@az \xC3\x89");
    EXPECT_TRUE(SameText("Accounts", "aCCOUNTS"));
    EXPECT_FALSE(SameText("accounts", "account"));
    EXPECT_FALSE(SameText("\xC3\xA9", "\xC3\x89"));
}

}  // namespace
}  // namespace kavrel
