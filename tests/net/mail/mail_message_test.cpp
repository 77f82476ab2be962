#include "net/mail/mail_message.h"

#include <gtest/gtest.h>

#include <random>

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
        // The last name is only an empty encoded word: nothing is left of it once decoded.
        "To: Ann <ann@example.org>, bob@example.org, =?UTF-8?Q?\?= <>",
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

// Header values as real mail has them, read in Tokyo (+9 hours, no daylight saving time): the
// sender's address, the subject in UTF-8 and the local time the check shows. A "\n" in a value
// starts a continuation line.
TEST(MailMessage, RealWorldHeaders) {
    test::TScopedTimeZone tz("JST-9");
    struct {
        const char* name;
        const char* from;
        const char* subject;
        const char* date;
        const char* address;
        const char* decoded;
        const char* local;
    } const rows[] = {
        {"newsletter, UTF-8 Q subject", "Modehaus <info@news.modehaus.example>",
         "=?UTF-8?Q?Nur_heute=3A_20_=25_auf_alles_=E2=80=93_jetzt_shoppen?=",
         "Mon, 4 Mar 2024 09:15:02 +0000 (UTC)", "info@news.modehaus.example",
         "Nur heute: 20 % auf alles – jetzt shoppen", "2024/3/4 18:15:02"},
        {"encoded name holding an address",
         "=?UTF-8?Q?info=40shop=2Ede_via_Shop?= <noreply@shop.de>",
         "=?UTF-8?Q?Ihre_Bestellung_wurde_versandt?=", "Tue, 5 Mar 2024 18:03:44 +0100",
         "noreply@shop.de", "Ihre Bestellung wurde versandt", "2024/3/6 02:03:44"},
        {"display name that is the address", "john@example.com <john@example.com>", "Re: lunch?",
         "Wed, 6 Mar 2024 07:45:10 -0500", "john@example.com", "Re: lunch?", "2024/3/6 21:45:10"},
        {"two authors", "\"Ann Lee\" <ann@example.org>, \"Bob Roe\" <bob@example.org>",
         "Draft for review", "Thu, 7 Mar 2024 12:00:00 -0800 (PST)", "ann@example.org",
         "Draft for review", "2024/3/8 05:00:00"},
        {"undisclosed recipients as sender", "undisclosed-recipients:;", "Invoice",
         "Fri, 8 Mar 2024 10:00:00 +0000", "", "Invoice", "2024/3/8 19:00:00"},
        {"mailing list via", "\"Ann Lee via Kavrel Users\" <kavrel-users@groups.example.com>",
         "[kavrel-users] Tray icon stays empty", "Sat, 9 Mar 2024 11:22:33 +0000",
         "kavrel-users@groups.example.com", "[kavrel-users] Tray icon stays empty",
         "2024/3/9 20:22:33"},
        {"list via with encoded name",
         "=?UTF-8?Q?J=C3=B6rg_M=C3=BCller_via_Netzwerk?= <messages-noreply@netzwerk.example>",
         "=?UTF-8?Q?J=C3=B6rg_M=C3=BCller_hat_Ihnen_eine_Nachricht_gesendet?=",
         "Sun, 10 Mar 2024 06:07:08 +0000 (UTC)", "messages-noreply@netzwerk.example",
         "Jörg Müller hat Ihnen eine Nachricht gesendet", "2024/3/10 15:07:08"},
        {"quoted local part", "\"john..doe\"@example.com", "Quoted",
         "Mon, 11 Mar 2024 08:00:00 +0100", "\"john..doe\"@example.com", "Quoted",
         "2024/3/11 16:00:00"},
        {"route address", "<@mx.example.net,@relay.example.net:alerts@example.com>",
         "Disk almost full", "Mon, 11 Mar 2024 08:00:00 GMT", "alerts@example.com",
         "Disk almost full", "2024/3/11 17:00:00"},
        {"comment after the address", "root@server.example.com (Cron Daemon)",
         "Cron <root@server> /usr/local/bin/backup", "Tue, 12 Mar 2024 02:00:01 +0100",
         "root@server.example.com", "Cron <root@server> /usr/local/bin/backup",
         "2024/3/12 10:00:01"},
        {"group with members", "Board: Ann <ann@example.org>, bob@example.org;", "Minutes",
         "Tue, 12 Mar 2024 09:30:00 +0100", "ann@example.org", "Minutes", "2024/3/12 17:30:00"},
        {"unquoted comma in the name", "Lee, Ann <ann@example.org>", "Timesheet",
         "Tue, 12 Mar 2024 09:30:00 +0100", "ann@example.org", "Timesheet", "2024/3/12 17:30:00"},
        {"local mailer daemon", "MAILER-DAEMON", "Undelivered Mail Returned to Sender",
         "Wed, 13 Mar 2024 01:02:03 +0000", "MAILER-DAEMON", "Undelivered Mail Returned to Sender",
         "2024/3/13 10:02:03"},
        {"angle address with blanks", "Support < support@example.com >", "Ticket #4711",
         "Thu, 14 Mar 2024 16:00:00 +0000", "support@example.com", "Ticket #4711",
         "2024/3/15 01:00:00"},
        {"Japanese ISO-2022-JP",
         "=?ISO-2022-JP?B?GyRCRURDZhsoQiAbJEJCQE86GyhC?= <tanaka@example.co.jp>",
         "=?ISO-2022-JP?B?GyRCMnE1RCROJCpDTiRpJDsbKEI=?=", "Fri, 15 Mar 2024 10:00:00 +0900",
         "tanaka@example.co.jp", "会議のお知らせ", "2024/3/15 10:00:00"},
        {"Japanese ISO-2022-JP with NEC circled digits", "sato@example.co.jp",
         "=?ISO-2022-JP?B?GyRCLSEtIi0jJE4kNDBGRmIbKEI=?=", "Fri, 15 Mar 2024 10:00:00 +0900",
         "sato@example.co.jp", "①②③のご案内", "2024/3/15 10:00:00"},
        {"Japanese Shift_JIS", "Shop <info@mail.shop.example.jp>",
         "=?Shift_JIS?B?gXmPZJd2gXqCspC/i4GL4Ip6im2S6ILMgqiSbYLngrk=?=",
         "Sat, 16 Mar 2024 09:00:00 +0900", "info@mail.shop.example.jp",
         "【重要】ご請求金額確定のお知らせ", "2024/3/16 09:00:00"},
        {"Japanese EUC-JP", "suzuki@example.jp",
         "=?EUC-JP?B?pKrM5KSkueek76S7pKKk6qSspMikpqS0pLakpKTepLk=?=",
         "Sat, 16 Mar 2024 09:00:00 +0900", "suzuki@example.jp", "お問い合わせありがとうございます",
         "2024/3/16 09:00:00"},
        {"Japanese UTF-8 split over two folded words", "orders@example.co.jp",
         "=?UTF-8?B?44GU5rOo5paH44Gu5ZWG5ZOB44KS55m66YCB44GX44G+44GX?=\n =?UTF-8?B?44Gf?=",
         "Sun, 17 Mar 2024 08:15:00 +0000", "orders@example.co.jp", "ご注文の商品を発送しました",
         "2024/3/17 17:15:00"},
        {"Japanese half-width katakana", "shop@example.jp", "=?ISO-2022-JP?B?GyhJNkUbKEI=?= sale",
         "Sun, 17 Mar 2024 08:15:00 +0900", "shop@example.jp", "ｶﾅ sale", "2024/3/17 08:15:00"},
        {"Chinese GB2312", "=?GB2312?B?ubrO7834?= <service@shop.example.cn>",
         "=?GB2312?B?xPq1xLaptaXS0beiu/U=?=", "Mon, 18 Mar 2024 20:00:00 +0800",
         "service@shop.example.cn", "您的订单已发货", "2024/3/18 21:00:00"},
        {"Chinese gb2312 label holding GBK", "wang@example.cn", "=?gb2312?B?zfXpRrXEsai45g==?=",
         "Mon, 18 Mar 2024 20:00:00 +0800", "wang@example.cn", "王镕的报告", "2024/3/18 21:00:00"},
        {"Chinese Big5", "chen@example.com.tw",
         "=?big5?B?t3zEs7Nxqr4=?=", "Tue, 19 Mar 2024 09:00:00 +0800", "chen@example.com.tw",
         "會議通知", "2024/3/19 10:00:00"},
        {"Chinese without blank before the word", "zhang@example.cn", "RE:=?GBK?B?sai827Wl?=",
         "Tue, 19 Mar 2024 09:00:00 +0800", "zhang@example.cn", "RE:报价单", "2024/3/19 10:00:00"},
        {"Korean ks_c_5601-1987 (Outlook)", "=?ks_c_5601-1987?B?sejDtrz2?= <kim@example.co.kr>",
         "=?ks_c_5601-1987?B?vsiz58fPvLy/5CCMY7nmsKLHzw==?=", "Wed, 20 Mar 2024 10:00:00 +0900",
         "kim@example.co.kr", "안녕하세요 똠방각하", "2024/3/20 10:00:00"},
        {"Korean EUC-KR", "park@example.co.kr",
         "=?EUC-KR?B?yLjAxyDAz8Gk?=", "Wed, 20 Mar 2024 10:00:00 +0900", "park@example.co.kr",
         "회의 일정", "2024/3/20 10:00:00"},
        {"Hebrew iso-8859-8-i", "cohen@example.co.il",
         "=?iso-8859-8-i?Q?=F9=EC=E5=ED_=F2=E5=EC=ED?=", "Thu, 21 Mar 2024 12:00:00 +0200",
         "cohen@example.co.il", "שלום עולם", "2024/3/21 19:00:00"},
        {"Hebrew windows-1255", "levi@example.co.il",
         "=?windows-1255?B?5Obu8OQg7uDl+fj6?=", "Thu, 21 Mar 2024 12:00:00 +0200",
         "levi@example.co.il", "הזמנה מאושרת", "2024/3/21 19:00:00"},
        {"Cyrillic KOI8-R", "=?koi8-r?B?6dfBziDwxdTSz9c=?= <ivan@example.ru>",
         "=?KOI8-R?B?8NLJ18XUIMnaIO3P08vX2Q==?=", "Fri, 22 Mar 2024 15:00:00 +0300",
         "ivan@example.ru", "Привет из Москвы", "2024/3/22 21:00:00"},
        {"Cyrillic windows-1251", "buh@example.ru",
         "=?windows-1251?Q?=D1=F7=B8=F2_=ED=E0_=EE=EF=EB=E0=F2=F3_=B915?=",
         "Fri, 22 Mar 2024 15:00:00 +0300", "buh@example.ru", "Счёт на оплату №15",
         "2024/3/22 21:00:00"},
        {"Greek iso-8859-7", "nikos@example.gr", "=?ISO-8859-7?Q?=CA=E1=EB=E7=EC=DD=F1=E1?=",
         "Sat, 23 Mar 2024 09:00:00 +0200", "nikos@example.gr", "Καλημέρα", "2024/3/23 16:00:00"},
        {"Polish iso-8859-2", "ania@example.pl",
         "=?iso-8859-2?Q?Za=BF=F3=B3=E6_g=EA=B6l=B1_ja=BC=F1?=", "Sat, 23 Mar 2024 09:00:00 +0100",
         "ania@example.pl", "Zażółć gęślą jaźń", "2024/3/23 17:00:00"},
        {"Thai tis-620", "somchai@example.co.th",
         "=?TIS-620?B?ysfRyrTVpMPRug==?=", "Sun, 24 Mar 2024 10:00:00 +0700",
         "somchai@example.co.th", "สวัสดีครับ", "2024/3/24 12:00:00"},
        {"German ISO-8859-1 Q", "=?ISO-8859-1?B?SvZyZw==?= Lee <joerg@example.de>",
         "=?ISO-8859-1?Q?Gr=FC=DFe_aus_M=FCnchen?=", "Mon, 25 Mar 2024 08:00:00 +0100",
         "joerg@example.de", "Grüße aus München", "2024/3/25 16:00:00"},
        {"German ISO-8859-15 euro", "rechnung@example.de",
         "=?iso-8859-15?Q?Rechnung_=FCber_49_=A4?=", "Mon, 25 Mar 2024 08:00:00 +0100",
         "rechnung@example.de", "Rechnung über 49 €", "2024/3/25 16:00:00"},
        {"iso-8859-1 label holding windows-1252", "news@example.fr",
         "=?iso-8859-1?Q?=93Offre=94_sp=E9ciale?=", "Mon, 25 Mar 2024 08:00:00 +0100",
         "news@example.fr", "“Offre” spéciale", "2024/3/25 16:00:00"},
        {"lower-case utf-8 b", "anna@example.se",
         "=?utf-8?b?VsOkbGtvbW1lbiB0aWxsIEfDtnRlYm9yZw==?=", "Mon, 25 Mar 2024 08:00:00 +0100",
         "anna@example.se", "Välkommen till Göteborg", "2024/3/25 16:00:00"},
        {"language suffix", "marie@example.fr",
         "=?UTF-8*fr?Q?R=C3=A9servation_confirm=C3=A9e?=", "Mon, 25 Mar 2024 08:00:00 +0100",
         "marie@example.fr", "Réservation confirmée", "2024/3/25 16:00:00"},
        {"plain text around encoded words", "list@example.org",
         "Re: [dev] =?UTF-8?Q?=C3=9Cberarbeitung?= des Plans", "Mon, 25 Mar 2024 08:00:00 +0100",
         "list@example.org", "Re: [dev] Überarbeitung des Plans", "2024/3/25 16:00:00"},
        {"emoji", "deals@example.com",
         "=?UTF-8?B?8J+OiSBCaWcgU2FsZSDigJMgNTAlIG9mZg==?=", "Tue, 26 Mar 2024 14:00:00 +0000",
         "deals@example.com", "🎉 Big Sale – 50% off", "2024/3/26 23:00:00"},
        {"B word with blanks from a broken fold", "ops@example.com",
         "=?UTF-8?B?U2VydmVyIGlz\n IGRvd24=?=", "Tue, 26 Mar 2024 14:00:00 +0000",
         "ops@example.com", "Server is down", "2024/3/26 23:00:00"},
        {"=? in the subject before a word", "quiz@example.com",
         "Is 2+2 =? 4 =?ISO-8859-1?Q?caf=E9?=", "Tue, 26 Mar 2024 14:00:00 +0000",
         "quiz@example.com", "Is 2+2 =? 4 café", "2024/3/26 23:00:00"},
        {"URL with ?a=?b before a word", "bot@example.com",
         "See https://example.com/?a=?b =?UTF-8?Q?f=C3=BCr_Sie?=",
         "Tue, 26 Mar 2024 14:00:00 +0000", "bot@example.com",
         "See https://example.com/?a=?b für Sie", "2024/3/26 23:00:00"},
        {"bad Q escape", "promo@example.com", "=?UTF-8?Q?100=_sure?=",
         "Tue, 26 Mar 2024 14:00:00 +0000", "promo@example.com", "100= sure", "2024/3/26 23:00:00"},
        {"utf-16 word stays as typed", "x@example.com",
         "=?utf-16?B?//5hAGIA?=", "Tue, 26 Mar 2024 14:00:00 +0000", "x@example.com",
         "=?utf-16?B?//5hAGIA?=", "2024/3/26 23:00:00"},
        {"Outlook date", "o@example.com", "Outlook", "Wed, 27 Mar 2024 07:03:09 +0000",
         "o@example.com", "Outlook", "2024/3/27 16:03:09"},
        {"Apple Mail date", "a@example.com", "Apple", "Wed, 27 Mar 2024 08:03:09 +0100",
         "a@example.com", "Apple", "2024/3/27 16:03:09"},
        {"summer time offset", "s@example.com", "Summer", "Mon, 1 Jul 2024 12:00:00 +0200",
         "s@example.com", "Summer", "2024/7/1 19:00:00"},
        {"German phone date", "p@example.de", "Handy", "Mi., 27 März 2024 08:03:09 +0100",
         "p@example.de", "Handy", "2024/3/27 16:03:09"},
        {"German abbreviations with dots", "p@example.de", "Handy",
         "Do., 5. Dez. 2024 18:30:00 +0100", "p@example.de", "Handy", "2024/12/6 02:30:00"},
        {"French phone date", "p@example.fr", "Mobile", "jeu., 28 mars 2024 09:10:11 +0100",
         "p@example.fr", "Mobile", "2024/3/28 17:10:11"},
        {"Spanish phone date", "p@example.es", "Movil", "vie, 2 ago 2024 09:10:11 +0200",
         "p@example.es", "Movil", "2024/8/2 16:10:11"},
        {"full month name", "f@example.com", "Full", "Wednesday, 13 November 2024 08:00:00 +0100",
         "f@example.com", "Full", "2024/11/13 16:00:00"},
        {"tabs between the parts", "t@example.com", "Tabs", "Thu,\t28 Mar 2024\t09:00:00\t+0100",
         "t@example.com", "Tabs", "2024/3/28 17:00:00"},
        {"offset with a colon", "c@example.com", "Colon", "Thu, 28 Mar 2024 09:00:00 +02:00",
         "c@example.com", "Colon", "2024/3/28 16:00:00"},
        {"GMT+0200", "g@example.com", "GMT", "Thu, 28 Mar 2024 09:00:00 GMT+0200", "g@example.com",
         "GMT", "2024/3/28 16:00:00"},
        {"zone name EST", "e@example.com", "EST", "Thu, 28 Mar 2024 09:00:00 EST", "e@example.com",
         "EST", "2024/3/28 23:00:00"},
        {"dashes and GMT", "d@example.com", "Dashes", "Thursday, 28-Mar-24 09:00:00 GMT",
         "d@example.com", "Dashes", "2024/3/28 18:00:00"},
        {"asctime", "u@example.com", "Unix", "Thu Mar 28 09:00:00 2024", "u@example.com", "Unix",
         "2024/3/28 18:00:00"},
        {"two-digit year 98", "y@example.com", "Old", "Thu, 31 Dec 98 23:59:59 +0000",
         "y@example.com", "Old", "1999/1/1 08:59:59"},
        {"two-digit year 00", "y@example.com", "Y2K", "Sat, 1 Jan 00 00:00:00 +0000",
         "y@example.com", "Y2K", "2000/1/1 09:00:00"},
        {"three-digit year", "y@example.com", "Y2K bug", "Thu, 1 Jan 104 10:00:00 +0000",
         "y@example.com", "Y2K bug", "2004/1/1 19:00:00"},
        {"year 1900 keeps its time", "y@example.com", "Epoch", "Mon, 1 Jan 1900 10:00:00 +0000",
         "y@example.com", "Epoch", "1900/1/1 19:00:00"},
        {"no date", "nd@example.com", "No date", "", "nd@example.com", "No date",
         "1899/12/30 09:00:00"},
        {"unreadable date", "ud@example.com", "Bad date", "gestern abend", "ud@example.com",
         "Bad date", "1899/12/30 09:00:00"},
    };
    for (const auto& r : rows) {
        TMailMessage m;
        for (const std::string& field :
             {std::string("From: ") + r.from, "Subject: " + std::string(r.subject),
              "Date: " + std::string(r.date)}) {
            for (std::size_t start = 0, lf = 0; lf != std::string::npos; start = lf + 1) {
                lf = field.find('\n', start);
                m.HeaderLines.Add(field.substr(start, lf - start));
            }
        }
        m.FillFromHeaders();
        EXPECT_EQ(m.ParseError, "") << r.name;
        EXPECT_EQ(m.From.Address, r.address) << r.name;
        EXPECT_EQ(m.Subject, r.decoded) << r.name;
        EXPECT_EQ(FormatDateTime("yyyy/m/d hh:nn:ss", m.Date), r.local) << r.name;
    }
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

TEST(MailMessage, AFieldThatCannotBeReadStaysEmptyAndTheRestIsRead) {
    TMailMessage m;
    for (const char* line : {"Subject: kept", "From: Ann <a@b.c> via d@e.f", "To: t@u.v",
                             "Date: Tue, 15 Nov 1994 08:12:31 +0100"}) {
        m.HeaderLines.Add(line);
    }
    m.FillFromHeaders();
    EXPECT_EQ(m.ParseError, "@ Outside address");
    EXPECT_EQ(m.Subject, "kept");
    EXPECT_EQ(m.From.Address, "");
    ASSERT_EQ(m.Recipients.size(), 1u);
    EXPECT_EQ(m.Recipients[0].Address, "t@u.v");
    EXPECT_NE(m.Date, 0);
}

TEST(MailMessage, AbsentFieldsLeaveTheEmptyState) {
    test::TScopedTimeZone tz("TST-1");
    const TMailMessage m = Filled({});
    EXPECT_EQ(m.Subject, "");
    EXPECT_EQ(m.From.Address, "");
    EXPECT_NEAR(m.Date, 1.0 / 24, 1e-9) << "a missing Date still gets a value";
    EXPECT_EQ(m.Priority, TMessagePriority::mpNormal);
}

// A few header lines of mail-like text, mutated at random and now and then pure noise.
std::vector<std::string> RandomHeader(std::mt19937& rng) {
    static const std::vector<std::string> seeds = {
        "From: \"Lee, Ann\" <a@b.c> (x)", "Subject: =?ISO-8859-1?Q?J=F6rg?= =?UTF-8?B?SGk=?=",
        "To: Team: a@b.c, <d@e.f>;",      "Date: Tuesday, 15-Nov-94 08:12:31 +0530 (IST)",
        "Cc: \\\"a\\\\@(b)<c>.d",         "Reply-To: <<@>>..@@",
        "X-Priority: -2147483649",        "Content-Type: x; charset=\"",
        "Date: Tue Nov 15 08:12:31 1994", "Subject: =?=?=?\?==?Q?=?B?==?",
    };
    static const std::string alphabet = "=?<>@.,;:()\"\\ \t-+0123456789QBqbISOUTF8aZz\x80\xff\r\n";
    auto pick = [&rng](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    };
    std::vector<std::string> header;
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
        header.push_back(std::move(line));
    }
    return header;
}

// Any header block ends in values, or in one of the failures the check knows how to log.
TEST(MailMessage, AnyBytesEndInAValueOrAKnownFailure) {
    std::mt19937 rng(20261209);
    int failures = 0;
    for (int round = 0; round < 4000; ++round) {
        TMailMessage m;
        for (std::string& line : RandomHeader(rng)) m.HeaderLines.Add(std::move(line));
        m.FillFromHeaders();
        if (!m.ParseError.empty()) ++failures;
    }
    EXPECT_GT(failures, 0) << "the mutations should reach the failure paths too";
}

// The check's mode reads its three fields, and the failure it logs, as the full fill does.
TEST(MailMessage, TheChecksThreeFieldsAreReadAsAllReadsThem) {
    test::TScopedTimeZone tz("TST-1");
    std::vector<std::vector<std::string>> headers = {
        {"From: a@b.c", "Subject: s", "To: Ann <t@u.v> via w@x.y"},
        {"Sender: Ann <t@u.v> via w@x.y", "Date: Tue, 15 Nov 1994 08:12:31 +0100"},
    };
    std::mt19937 rng(20261211);
    for (int i = 0; i < 3000; ++i) headers.push_back(RandomHeader(rng));
    int failuresOutsideTheThree = 0;
    for (const auto& lines : headers) {
        TMailMessage all;
        for (const std::string& line : lines) all.HeaderLines.Add(line);
        TMailMessage three;
        three.HeaderLines = all.HeaderLines;
        all.FillFromHeaders();
        three.FillFromHeaders(TMailMessage::TFields::FromAddressSubjectDate);
        EXPECT_EQ(three.ParseError, all.ParseError) << lines[0];
        EXPECT_EQ(three.From.Address, all.From.Address) << lines[0];
        EXPECT_EQ(three.From.Name, all.From.Name) << lines[0];
        EXPECT_EQ(three.Subject, all.Subject) << lines[0];
        EXPECT_EQ(three.Date, all.Date) << lines[0];
        EXPECT_TRUE(three.Recipients.empty() && three.CCList.empty() && three.ReplyTo.empty() &&
                    three.Sender.Address.empty() && three.ReceiptRecipient.Address.empty() &&
                    three.ContentType.empty() && three.MsgId.empty() && three.NewsGroups.empty() &&
                    three.Priority == TMessagePriority::mpNormal)
            << lines[0];
        if (!all.ParseError.empty() && !all.From.Address.empty()) ++failuresOutsideTheThree;
    }
    EXPECT_GT(failuresOutsideTheThree, 0);
}

TEST(MailMessage, HugeFoldedHeadersStayLinear) {
    // Thousands of folded lines make one long value; every parser must stay linear in it.
    TMailMessage m;
    m.HeaderLines.Add("From: a");
    m.HeaderLines.Add("Subject: =?a?b?c");
    for (int i = 0; i < 20000; ++i) {
        m.HeaderLines.Add(" <a <a \"x\\ (y =?a?b?c a.b a@");
    }
    EXPECT_NO_THROW(m.FillFromHeaders());
}

// Unfolding is linear: joined the quadratic way, these lines outlast the test's time-out in the
// sanitizer build.
TEST(MailMessage, SubjectFoldedOverAHundredThousandLines) {
    TMailMessage m;
    m.HeaderLines.Add("Subject: start");
    std::string expected = "start";
    for (int i = 0; i < 100000; ++i) {
        m.HeaderLines.Add(i % 2 == 0 ? "\t=?UTF-8?Q?=C3=A9?= x " : " y");
        expected += i % 2 == 0 ? " é x" : " y";
    }
    m.HeaderLines.Add("From: a@b.c");
    m.FillFromHeaders();
    EXPECT_EQ(m.Subject, expected);
    EXPECT_EQ(m.From.Address, "a@b.c");
}

}  // namespace
}  // namespace kavrel
