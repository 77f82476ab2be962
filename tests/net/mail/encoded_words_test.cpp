#include "net/mail/encoded_words.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(EncodedWords, Decoding) {
    struct {
        const char* name;
        const char* text;
        std::string expected;
    } const rows[] = {
        // Decoded words arrive as UTF-8 whatever their character set.
        {"Q in Latin-1, converted", "=?ISO-8859-1?Q?J=F6rg_Lee?=", "J\xC3\xB6rg Lee"},
        {"B, lower-case letters", "=?iso-8859-1?b?SGVsbG8=?=", "Hello"},
        {"UTF-8 words are decoded too", "=?UTF-8?B?SGVsbG8=?=", "Hello"},
        {"windows-1252 escape of =", "=?WINDOWS-1252?Q?x=3Dy?=", "x=y"},
        {"windows-1252 euro sign", "=?windows-1252?Q?=80?=", "\xE2\x82\xAC"},
        {"= too near the end is copied", "=?ISO-8859-1?Q?=4?=", "=4"},
        {"malformed ISO word", "=?ISO-8859-1?Q?broken", "=?ISO-8859-1?Q?broken"},
        {"malformed windows word", "=?windows-1252?Q?broken", "=?windows-1252?Q?broken"},
        {"empty encoded text", "=?ISO-8859-1?Q?\?=", ""},
        // White space between adjacent encoded words is not part of the text (RFC 2047).
        {"adjacent words join", "Re: =?ISO-8859-1?Q?a?= =?ISO-8859-1?Q?b?=", "Re: ab"},
        {"folded adjacent words join", "=?UTF-8?Q?a?=\t \t=?UTF-8?Q?b?=", "ab"},
        {"a character split across two words", "=?UTF-8?Q?=C3?= =?UTF-8?Q?=A9?=", "\xC3\xA9"},
        {"adjacent words of two charsets",
         "=?ISO-8859-1?Q?=E9?= =?UTF-8?Q?=C3=A9?=", "\xC3\xA9\xC3\xA9"},
        {"white space beside plain text stays", "a =?UTF-8?Q?b?= c", "a b c"},
        {"text between words stays", "=?UTF-8?Q?a?= and =?UTF-8?Q?b?=", "a and b"},
        {"ISO-2022-JP to UTF-8",
         "=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
        {"unknown charset keeps the bytes", "=?X-NO-SUCH?Q?=E9t=E9?=", "\xE9t\xE9"},
        {"bytes that do not convert become U+FFFD", "=?UTF-8?Q?a=FFb?=",
         "a\xEF\xBF\xBD"
         "b"},
        {"cut-off sequence at the end", "=?UTF-8?Q?a=C3?=", "a\xEF\xBF\xBD"},
        {"language suffix", "=?UTF-8*en?Q?ok?=", "ok"},
        {"zero bytes are removed", "=?UTF-8?B?YQBi?=", "ab"},
        {"B text outside base64 stays as typed", "=?UTF-8?B?SGVs*G8=?=", "=?UTF-8?B?SGVs*G8=?="},
        {"the closing ?= completes unpadded text", "=?UTF-8?B?SGVsbG8?=", "Hello"},
        {"short last group is ignored", "=?UTF-8?B?SGVsbG8=x?=", "Hello"},
        {"no encoded word at all", "plain subject", "plain subject"},
        {"plain 8-bit text stays as it is", "caf\xE9", "caf\xE9"},
        {"an encoding other than Q or B stays as typed", "=?UTF-8?X?SGk=?=", "=?UTF-8?X?SGk=?="},
        {"Q text with a blank stays as typed", "=?UTF-8?Q?a b?=", "=?UTF-8?Q?a b?="},
        {"empty charset stays as typed", "=??Q?a?=", "=??Q?a?="},
        {"bad language stays as typed", "=?UTF-8*?Q?a?=", "=?UTF-8*?Q?a?="},
        // A bad Q escape keeps its characters; the rest of the word still decodes.
        {"bad Q escape", "=?ISO-8859-1?Q?a=ZZ?=", "a=ZZ"},
        {"half a Q escape", "x =?UTF-8?q?=4g?=", "x =4g"},
        {"a refused word keeps its blanks",
         "=?utf-16?B?AA==?= =?UTF-8?Q?a?=", "=?utf-16?B?AA==?= a"},
    };
    for (const auto& r : rows) EXPECT_EQ(DecodeEncodedWords(r.text), r.expected) << r.name;
}

}  // namespace
}  // namespace kavrel
