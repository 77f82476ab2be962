#include "base/text_encoding.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(TextEncoding, Utf8KeptEverythingElseIsWindows1252) {
    struct {
        const char* name;
        std::string bytes;
        std::string utf8;
    } const rows[] = {
        {"ascii", "plain text", "plain text"},
        {"utf8 two bytes", "caf\xC3\xA9", "caf\xC3\xA9"},
        {"utf8 three bytes", "\xE2\x82\xAC 5", "\xE2\x82\xAC 5"},
        {"utf8 four bytes", "\xF0\x9F\x93\xA7", "\xF0\x9F\x93\xA7"},
        {"latin1 e acute", "caf\xE9", "caf\xC3\xA9"},
        {"1252 euro", "\x80 5", "\xE2\x82\xAC 5"},
        {"1252 quotes", "\x93hi\x94", "\xE2\x80\x9Chi\xE2\x80\x9D"},
        {"1252 unassigned", "\x81", "\xEF\xBF\xBD"},
        {"both in one text", "\xC3\xA9 and \xE9", "\xC3\xA9 and \xC3\xA9"},
        {"cut sequence at end", "ab\xC3", "ab\xC3\x83"},
        {"lead without continuation", "\xC3(", "\xC3\x83("},
        {"overlong slash", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
        {"surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "\xC3\xB4\xEF\xBF\xBD\xE2\x82\xAC\xE2\x82\xAC"},
        {"nul", std::string("a\0b", 3),
         "a\xEF\xBF\xBD"
         "b"},
        {"empty", "", ""},
    };
    for (const auto& r : rows) EXPECT_EQ(ToUtf8(r.bytes), r.utf8) << r.name;
}

}  // namespace
}  // namespace kavrel
