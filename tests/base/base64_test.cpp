#include "base/base64.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kavrel {
namespace {

TEST(Base64, EncodesAndDecodesStrictly) {
    // The vectors of RFC 4648 section 10, bytes that differ between the two alphabets, and
    // what a strict decoder must refuse.
    struct {
        const char* name;
        std::string bytes;
        std::string standard;
        std::string url;
    } const rows[] = {
        {"empty", "", "", ""},
        {"f", "f", "Zg==", "Zg"},
        {"fo", "fo", "Zm8=", "Zm8"},
        {"foo", "foo", "Zm9v", "Zm9v"},
        {"foob", "foob", "Zm9vYg==", "Zm9vYg"},
        {"fooba", "fooba", "Zm9vYmE=", "Zm9vYmE"},
        {"foobar", "foobar", "Zm9vYmFy", "Zm9vYmFy"},
        {"high bytes", std::string("\xfb\xff\x00\xfe", 4), "+/8A/g==", "-_8A_g"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(Base64Encode(r.bytes), r.standard) << r.name;
        EXPECT_EQ(Base64Decode(r.standard), r.bytes) << r.name;
        EXPECT_EQ(Base64UrlEncode(r.bytes), r.url) << r.name;
    }
    const struct {
        const char* name;
        std::string text;
    } refused[] = {
        {"unpadded", "Zg"},       {"blank inside", "Zm9 v"},
        {"URL alphabet", "-_8A"}, {"padding inside", "Zg==Zm8="},
        {"three pads", "Z==="},   {"leftover bits set", "Zh=="},
        {"line end", "Zm9v\r\n"},
    };
    for (const auto& r : refused) EXPECT_EQ(Base64Decode(r.text), std::nullopt) << r.name;
}

}  // namespace
}  // namespace kavrel
