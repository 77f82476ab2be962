#include "base/integer.h"

#include <gtest/gtest.h>

#include <optional>

#include "tests/support/raises.h"
namespace kavrel {
namespace {

TEST(Integer, Conversion) {
    struct {
        const char* input;
        std::optional<std::int32_t> expected;
    } const rows[] = {
        {"0", 0},
        {"120", 120},
        {"-3", -3},
        {"+7", 7},
        {"  42", 42},
        {"\t42", 42},
        {"007", 7},
        {"$0A", 10},
        {"$ff", 255},
        {"0x1F", 31},
        {"0X1f", 31},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"$7FFFFFFF", 2147483647},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"$80000000", std::nullopt},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"-", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"ten", std::nullopt},
        {"7 minutes", std::nullopt},
        {"12 ", std::nullopt},
        {"1.5", std::nullopt},
        {"$0G", std::nullopt},
        {"0A", std::nullopt},
        {"--1", std::nullopt},
        {"- 1", std::nullopt},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(TryStrToInt(r.input), r.expected) << "'" << r.input << "'";
    }
}

TEST(Integer, FailureText) {
    EXPECT_EQ(test::MessageOf<EConvertError>([] { StrToInt("$ZZ"); }),
              "'$ZZ' is not a valid integer value");
    EXPECT_EQ(StrToInt("-12"), -12);
}

TEST(Integer, DecimalOnlyReader) {
    const std::pair<const char*, std::optional<std::int32_t>> rows[] = {
        {"0", 0},
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
        {"", std::nullopt},
        {" 1", std::nullopt},
        {"+1", std::nullopt},
        {"$1", std::nullopt},
        {"0x1", std::nullopt},
        {"1a", std::nullopt}};
    for (const auto& [text, value] : rows) EXPECT_EQ(TryDecimalToInt(text), value) << text;
}

TEST(Integer, DecimalWriter) {
    EXPECT_EQ(IntToStr(0), "0");
    EXPECT_EQ(IntToStr(-5), "-5");
    EXPECT_EQ(IntToStr(-2147483647 - 1), "-2147483648");
}

}  // namespace
}  // namespace kavrel
