#include "net/mail/mail_message.h"

#include <gtest/gtest.h>

#include <random>

#include "base/integer.h"
#include "net/mail/mail_date.h"
#include "tests/support/time_zone.h"

namespace kavrel {
namespace {

TMailMessage Filled(std::initializer_list<const char*> lines) {
    TMailMessage m;
    for (const char* line : lines) m.HeaderLines.Add(line);
    m.FillFromHeaders();
    return m;
}

TEST(MailMessage, FillsTheFieldsTheCheckReads) {
    test::TScopedTimeZone tz("TST-1");
    const TMailMessage m = Filled({
        "Return-Path: <bounce@example.org>",
        "From: =?ISO-8859-1?Q?J=F6rg?= Lee <joerg@example.org>",
        "To: Ann <ann@example.org>, bob@example.org",
        "Cc: \"Lee, C\" <c@example.org>",
        "Subject: =?UTF-8?B?R3LDvMOfZQ==?=",
        "\t from Berlin",
        "Date: Tue, 15 Nov 1994 08:12:31 +0100",
        "Content-Type: text/plain; charset=\"utf-8\"; format=flowed",
        "Message-Id: <1@example.org>",
        "Newsgroups: comp.mail, \"odd,name\" , ,alt.test",
        "Reply-To: r@example.org",
        "Sender: s@example.org",
        "Return-Receipt-To: receipt@example.org",
        "X-Priority: 1 (Highest)",
    });
    EXPECT_EQ(m.From.Address, "joerg@example.org");
    EXPECT_EQ(m.From.Name, "J\xC3\xB6rg Lee");
    EXPECT_EQ(m.Subject,
              "Gr\xC3\xBC\xC3\x9F"
              "e from Berlin");
    EXPECT_EQ(FormatDateTime("m/d/yyyy h:mma/p", m.Date), "11/15/1994 8:12a");
    EXPECT_EQ(m.CharSet, "UTF-8");
    EXPECT_EQ(m.MsgId, "<1@example.org>");
    EXPECT_EQ(m.NewsGroups, (std::vector<std::string>{"comp.mail", "\"odd,name\"", "alt.test"}));
    ASSERT_EQ(m.Recipients.size(), 2u);
    EXPECT_EQ(m.Recipients[1].Address, "bob@example.org");
    ASSERT_EQ(m.CCList.size(), 1u);
    EXPECT_EQ(m.CCList[0].Name, "Lee, C");
    ASSERT_EQ(m.ReplyTo.size(), 1u);
    EXPECT_EQ(m.Sender.Address, "s@example.org");
    EXPECT_EQ(m.ReceiptRecipient.Address, "receipt@example.org");  // the fallback field
    EXPECT_EQ(m.Priority, TMessagePriority::mpHighest);
}

TEST(MailMessage, CharSetAndPriority) {
    struct {
        const char* contentType;
        const char* charset;
    } const charsets[] = {
        {"text/plain; charset=iso-8859-1; format=flowed", "ISO-8859-1"},
        {"text/plain; CharSet=\"windows-1252\"", "WINDOWS-1252"},
        {"text/plain; charset=\"unterminated", "UNTERMINATED"},
        {"text/plain; charset=", ""},
        {"text/plain", ""},
    };
    for (const auto& c : charsets) {
        const std::string line = std::string("Content-Type: ") + c.contentType;
        EXPECT_EQ(Filled({line.c_str()}).CharSet, c.charset) << c.contentType;
    }
    struct {
        const char* line;
        TMessagePriority priority;
    } const priorities[] = {
        {"Priority: urgent", TMessagePriority::mpHigh},
        {"Priority: non-priority", TMessagePriority::mpLow},
        {"Priority: normal", TMessagePriority::mpNormal},
        {"X-Priority: 2", TMessagePriority::mpHigh},
        {"X-Priority: 4 (Low)", TMessagePriority::mpLow},
        {"X-Priority: 5", TMessagePriority::mpLowest},
        {"X-Priority: 9", TMessagePriority::mpNormal},
        {"X-Priority: high", TMessagePriority::mpNormal},
        {"Subject: none", TMessagePriority::mpNormal},
    };
    for (const auto& p : priorities) EXPECT_EQ(Filled({p.line}).Priority, p.priority) << p.line;
}

TEST(MailMessage, FirstFailureStopsWithEarlierFieldsSet) {
    TMailMessage m;
    for (const char* line : {"Subject: kept", "From: Ann <a@b.c> via d@e.f", "To: t@u.v",
                             "Date: Tue, 15 Nov 1994 08:12:31 +0100"}) {
        m.HeaderLines.Add(line);
    }
    EXPECT_THROW(m.FillFromHeaders(), EEmailParseError);
    EXPECT_EQ(m.Subject, "kept");
    EXPECT_TRUE(m.Recipients.empty());
    EXPECT_EQ(m.Date, 0);

    TMailMessage q;
    q.HeaderLines.Add("Subject: =?ISO-8859-1?Q?a=ZZ?=");
    EXPECT_THROW(q.FillFromHeaders(), EConvertError);
}

TEST(MailMessage, AbsentFieldsLeaveTheEmptyState) {
    test::TScopedTimeZone tz("TST-1");
    const TMailMessage m = Filled({});
    EXPECT_EQ(m.Subject, "");
    EXPECT_EQ(m.From.Address, "");
    EXPECT_NEAR(m.Date, 1.0 / 24, 1e-9) << "a missing Date still gets a value";
    EXPECT_EQ(m.Priority, TMessagePriority::mpNormal);
}

// Any header block ends in a value or in one of the failures the check knows how to log.
TEST(MailMessage, AnyBytesEndInAValueOrAKnownFailure) {
    const std::vector<std::string> seeds = {
        "From: \"Lee, Ann\" <a@b.c> (x)", "Subject: =?ISO-8859-1?Q?J=F6rg?= =?UTF-8?B?SGk=?=",
        "To: Team: a@b.c, <d@e.f>;",      "Date: Tuesday, 15-Nov-94 08:12:31 +0530 (IST)",
        "Cc: \\\"a\\\\@(b)<c>.d",         "Reply-To: <<@>>..@@",
        "X-Priority: -2147483649",        "Content-Type: x; charset=\"",
        "Date: Tue Nov 15 08:12:31 1994", "Subject: =?=?=?\?==?Q?=?B?==?",
    };
    const std::string alphabet = "=?<>@.,;:()\"\\ \t-+0123456789QBqbISOUTF8aZz\x80\xff\r\n";
    std::mt19937 rng(20261209);
    auto pick = [&rng](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    };
    int failures = 0;
    for (int round = 0; round < 4000; ++round) {
        TMailMessage m;
        const int lines = 1 + static_cast<int>(pick(6));
        for (int l = 0; l < lines; ++l) {
            std::string line = seeds[pick(seeds.size())];
            const int edits = static_cast<int>(pick(8));
            for (int e = 0; e < edits && !line.empty(); ++e) {
                const std::size_t at = pick(line.size());
                switch (pick(4)) {
                    case 0:
                        line[at] = alphabet[pick(alphabet.size())];
                        break;
                    case 1:
                        line.insert(at, 1, alphabet[pick(alphabet.size())]);
                        break;
                    case 2:
                        line.erase(at, 1 + pick(3));
                        break;
                    default:
                        line.insert(at, seeds[pick(seeds.size())].substr(pick(10)));
                        break;
                }
            }
            if (pick(10) == 0) {  // now and then pure noise
                line.clear();
                for (std::size_t n = pick(200); n > 0; --n) line += static_cast<char>(pick(256));
            }
            m.HeaderLines.Add(line);
        }
        try {
            m.FillFromHeaders();
        } catch (const EEmailParseError&) {
            ++failures;
        } catch (const EConvertError&) {
            ++failures;
        }
    }
    EXPECT_GT(failures, 0) << "the mutations should reach the failure paths too";
}

TEST(MailMessage, HugeFoldedHeadersStayLinear) {
    // Thousands of folded lines make one long value; every parser must stay linear in it.
    TMailMessage m;
    m.HeaderLines.Add("From: a");
    m.HeaderLines.Add("Subject: =?a?b?c");
    for (int i = 0; i < 20000; ++i) {
        m.HeaderLines.Add(" <a <a \"x\\ (y =?a?b?c a.b a@");
    }
    EXPECT_NO_THROW({
        try {
            m.FillFromHeaders();
        } catch (const EEmailParseError&) {
        }
    });
}

}  // namespace
}  // namespace kavrel
