#include "base/json.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/json_writer.h"

namespace kavrel {
namespace {

// A value written back in one canonical form: strings in single quotes with bytes outside
// printable ASCII in hex, so that a decoded escape shows as the exact UTF-8 it became.
std::string Canonical(const TJSONValue& v) {
    return test::WriteJSON(v, [](const std::string& s) {
        std::string out = "'";
        for (const unsigned char c : s) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02X>", c);
            out += (c >= 0x20 && c < 0x7F && c != '\'') ? std::string(1, char(c)) : hex;
        }
        return out + "'";
    });
}

TEST(JSON, ValuesAndFaults) {
    const std::string deep = std::string(64, '[') + std::string(64, ']');
    struct {
        const char* name;
        std::string text;
        std::string expected;  // Canonical() of the value, or the error's message
    } const rows[] = {
        {"token answer",
         R"({"access_token":"at-1","token_type":"Bearer","expires_in":3599,"scope":"a b"})",
         "{'access_token':'at-1','token_type':'Bearer','expires_in':3599,'scope':'a b'}"},
        {"blanks everywhere allowed", " \t\r\n{ \"a\" : [ 1 , 2 ] }\n ", "{'a':[1,2]}"},
        {"empty containers", R"({"o":{},"a":[]})", "{'o':{},'a':[]}"},
        {"literals", "[true,false,null]", "[true,false,null]"},
        {"a bare scalar is a document", "\"x\"", "'x'"},
        {"numbers", "[0,-0.5,1e3,2E-2,12.25e+1]", "[0,-0.5,1000,0.02,122.5]"},
        {"simple escapes", R"("\"\\\/\b\f\n\r\t")", "'\"\\/<08><0C><0A><0D><09>'"},
        {"unicode escapes", R"("\u0041\u00e9\u20AC")", "'A<C3><A9><E2><82><AC>'"},
        {"surrogate pair", R"("\uD83D\uDE00")", "'<F0><9F><98><80>'"},
        {"escaped NUL stays", R"("a\u0000b")", "'a<00>b'"},
        {"raw UTF-8 passes", "\"\xC3\xA9\xF0\x9F\x98\x80\"", "'<C3><A9><F0><9F><98><80>'"},
        {"nesting at the bound", deep, deep},
        {"empty text", "", "JSON: a value is missing at byte 0"},
        {"nesting past the bound", std::string(65, '[') + std::string(65, ']'),
         "JSON: nesting too deep at byte 64"},
        {"trailing comma in an object", R"({"a":1,})", "JSON: a name was expected at byte 7"},
        {"trailing comma in an array", "[1,]", "JSON: an unexpected character at byte 3"},
        {"missing colon", R"({"a" 1})", "JSON: ':' was expected at byte 5"},
        {"unquoted name", "{a:1}", "JSON: a name was expected at byte 1"},
        {"repeated name", R"({"a":1,"a":2})", "JSON: a repeated name at byte 7"},
        {"text after the value", "{} {}", "JSON: text after the value at byte 3"},
        {"single quotes", "'a'", "JSON: an unexpected character at byte 0"},
        {"leading zero", "01", "JSON: a number with a leading zero at byte 1"},
        {"bare minus", "-", "JSON: a digit was expected at byte 1"},
        {"fraction without digits", "1.", "JSON: a digit was expected at byte 2"},
        {"exponent without digits", "1e+", "JSON: a digit was expected at byte 3"},
        {"plus sign", "+1", "JSON: an unexpected character at byte 0"},
        {"number too large", "1e400", "JSON: a number out of range at byte 0"},
        {"misspelt literal", "tru", "JSON: an unknown word at byte 0"},
        {"unterminated string", "\"abc", "JSON: an unterminated string at byte 4"},
        {"raw control character", "\"a\nb\"", "JSON: a control character in a string at byte 2"},
        {"unknown escape", R"("\x")", "JSON: an unknown escape at byte 2"},
        {"short unicode escape", R"("\u12")",
         "JSON: four hexadecimal digits were expected at byte 5"},
        {"lone low surrogate", R"("\uDE00")", "JSON: a lone low surrogate at byte 1"},
        {"high surrogate alone", R"("\uD83Dx")",
         "JSON: a high surrogate without its low half at byte 1"},
        {"high surrogate then no low half", R"("\uD83D\u0041")",
         "JSON: a high surrogate without its low half at byte 1"},
        {"invalid UTF-8", "\"\xC3(\"", "JSON: a byte that is not UTF-8 at byte 1"},
        {"overlong UTF-8", "\"\xC0\xAF\"", "JSON: a byte that is not UTF-8 at byte 1"},
        {"UTF-8 surrogate", "\"\xED\xA0\x80\"", "JSON: a byte that is not UTF-8 at byte 1"},
        {"byte-order mark", "\xEF\xBB\xBF{}", "JSON: an unexpected character at byte 0"},
        {"too large", "\"" + std::string(kMaxJSONBytes, 'a') + "\"",
         "JSON: the text is larger than 1024 KB"},
    };
    for (const auto& r : rows) {
        std::string got;
        try {
            got = Canonical(ParseJSON(r.text));
        } catch (const EJSONError& e) {
            got = e.what();
        }
        EXPECT_EQ(got, r.expected) << r.name;
    }
}

}  // namespace
}  // namespace kavrel
