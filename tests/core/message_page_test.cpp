#include "core/message_page.h"

#include <gtest/gtest.h>

#include <string>

namespace kavrel {
namespace {

// Each colour distinct, so a piece in the wrong place shows in the text.
class TFakeColors : public TSystemColors {
  public:
    TColor GetSysColor(TSysColor which) const override {
        switch (which) {
            case TSysColor::ActiveCaption:
                return RGB(0x90, 0xA0, 0xB0);
            case TSysColor::CaptionText:
                return RGB(1, 2, 3);
            case TSysColor::WindowText:
                return RGB(0, 0, 0);
            case TSysColor::InactiveCaption:
                return RGB(0xA0, 0xB0, 0x0C);
            case TSysColor::BtnHighlight:
                return RGB(0xEE, 0xEF, 0xF0);
            case TSysColor::Window:
                return RGB(0xFF, 0xFF, 0xFF);
            case TSysColor::InfoText:
                return RGB(0x30, 0x00, 0x00);
        }
        return 0;
    }
};

const TFakeColors kColors;
const TDateTime kToday = *TryEncodeDate(2026, 12, 9);

const std::string kHead =
    "<body><table border=\"0\" cellpadding=\"3\" cellspacing=\"1\" width=\"100%\">"
    "<tr bgcolor=\"#90A0B0\" valign=\"bottom\">"
    "<td><font color=\"#010203\"><strong>MailBox</strong><br />From</font></td>"
    "<td><font color=\"#010203\">Recvd</font></td>"
    "<td><font color=\"#010203\">Sent</font></td>"
    "<td><font color=\"#010203\">Size<font color=\"white\"></td>"
    "<td width=\"100%\"><font color=\"#010203\">Subject</font></td>"
    "<td>&nbsp</td>";
const std::string kTail = "</table></body>";

std::string Group(const std::string& label, const std::string& note = "") {
    return "<tr bgcolor=\"#A0B00C\" valign=\"top\"><td colspan=\"6\"><font color=\"#010203\">"
           "<strong>" +
           label + "</strong>" + note + "</font></td></tr>\r\n";
}

std::string Row(int n, const std::string& back, const std::string& from, const std::string& found,
                const std::string& sent, const std::string& size, const std::string& subject) {
    const std::string f = "<font color=\"#000000\">";
    return "<tr bgcolor=\"" + back + "\" valign=\"top\"><td>" + f + from + "</font></td><td>" + f +
           found + "</font></td><td>" + f + sent + "</font></td><td>" + f + size +
           "</font></td><td width=\"100%\">" + f + subject + "</font></td><td><small>" + f +
           "<a href=\"delete?" + std::to_string(n) + "\">delete</a></font></small></tr>\r\n";
}

PW_MAIL Mail(int account, const std::string& box, const std::string& subject = "s") {
    PW_MAIL m;
    m.AccountIndex = account;
    m.MailBox = box;
    m.FromAddress = "a@b";
    m.FoundAt = "9:05a";
    m.SentAt = "12/1/2026 8:00p";
    m.Size = 10;
    m.Subject = subject;
    return m;
}

std::string Built(TMailList list, const TAccountChecks& checks = {}) {
    std::string shown;
    int loads = 0;
    BuildMessagePage(
        list, kColors, kToday,
        [&](const std::string& page) {
            shown = page;
            ++loads;
        },
        checks);
    EXPECT_EQ(loads, 1);
    return shown;
}

TEST(MessagePage, EmptyListIsHeadingOnly) { EXPECT_EQ(Built({}), kHead + kTail); }

TEST(MessagePage, GroupsAndRowColoursOverTheWholeList) {
    // Built unsorted: the page sorts first, so account 1 leads and positions follow the sort.
    TMailList list = {Mail(2, "pop.two->bo", "third"), Mail(1, "pop.one->al", "first"),
                      Mail(1, "pop.one->al", "second")};
    TMailList sorted = list;
    SortMailList(sorted);
    std::string expected = kHead;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i == 0 || sorted[i].MailBox != sorted[i - 1].MailBox) {
            expected +=
                Group(sorted[i].MailBox == "pop.one->al" ? "pop.one-&gt;al" : "pop.two-&gt;bo");
        }
        expected += Row(int(i + 1), i % 2 == 0 ? "#FFFFFF" : "#EEEFF0", "a@b", "9:05a",
                        "12/1/2026 8:00p", "10", sorted[i].Subject);
    }
    expected += kTail;
    EXPECT_EQ(Built(list), expected);
    EXPECT_EQ(sorted[2].Subject, "third") << "the second mailbox's row keeps counting: 3, odd";
}

TEST(MessagePage, NeighbouringSlotsWithOneLabelShareAGroup) {
    const std::string page = Built({Mail(1, "same"), Mail(2, "same"), Mail(3, "other")});
    EXPECT_EQ(page, kHead + Group("same") +
                        Row(1, "#FFFFFF", "a@b", "9:05a", "12/1/2026 8:00p", "10", "s") +
                        Row(2, "#EEEFF0", "a@b", "9:05a", "12/1/2026 8:00p", "10", "s") +
                        Group("other") +
                        Row(3, "#FFFFFF", "a@b", "9:05a", "12/1/2026 8:00p", "10", "s") + kTail);
}

// A failed account's group says so; without a tracked message it still has its group, in slot
// order, so that it never looks like an empty mailbox.
TEST(MessagePage, FailedAccountsSayWhen) {
    TAccountChecks checks;
    checks[1] = {true, "pop.a->x", "9:05a 12/9/2026"};
    checks[2] = {true, "pop.b->y", "9:06a 12/9/2026"};
    checks[4] = {true, "pop.d->z", "9:07a 12/9/2026"};
    const std::string page = Built({Mail(3, "pop.c"), Mail(2, "pop.b-old")}, checks);
    EXPECT_EQ(page, kHead + Group("pop.a-&gt;x", " (last check failed at 9:05a 12/9/2026)") +
                        Group("pop.b-old", " (last check failed at 9:06a 12/9/2026)") +
                        Row(1, "#FFFFFF", "a@b", "9:05a", "12/1/2026 8:00p", "10", "s") +
                        Group("pop.c") +
                        Row(2, "#EEEFF0", "a@b", "9:05a", "12/1/2026 8:00p", "10", "s") +
                        Group("pop.d-&gt;z", " (last check failed at 9:07a 12/9/2026)") + kTail);
}

TEST(MessagePage, SizeCell) {
    struct {
        std::int32_t size;
        const char* shown;
    } const rows[] = {{0, "0"},   {1024, "1024"},          {1025, "1k"}, {2047, "1k"}, {2048, "2k"},
                      {-1, "-1"}, {2147483647, "2097151k"}};
    for (const auto& r : rows) {
        PW_MAIL m = Mail(1, "box");
        m.Size = r.size;
        EXPECT_EQ(Built({m}),
                  kHead + Group("box") +
                      Row(1, "#FFFFFF", "a@b", "9:05a", "12/1/2026 8:00p", r.shown, "s") + kTail)
            << r.size;
    }
}

TEST(MessagePage, SentCellDropsTodaysDate) {
    struct {
        const char* sentAt;
        const char* shown;
    } const rows[] = {
        {"12/9/2026 7:15a", " 7:15a"},
        {"12/9/2026", ""},
        {"12/8/2026 7:15a", "12/8/2026 7:15a"},
        {"12/9/2025 7:15a", "12/9/2025 7:15a"},
        {"2/9/2026 7:15a", "2/9/2026 7:15a"},
        {"12/9/202", "12/9/202"},
        {"", ""},
    };
    for (const auto& r : rows) {
        PW_MAIL m = Mail(1, "box");
        m.SentAt = r.sentAt;
        EXPECT_EQ(Built({m}), kHead + Group("box") +
                                  Row(1, "#FFFFFF", "a@b", "9:05a", r.shown, "10", "s") + kTail)
            << r.sentAt;
    }
}

TEST(MessagePage, SentCellKeepsAtMostAHundredCharactersAfterTheDate) {
    PW_MAIL m = Mail(1, "box");
    m.SentAt = "12/9/2026" + std::string(150, 'x');
    EXPECT_EQ(Built({m}), kHead + Group("box") +
                              Row(1, "#FFFFFF", "a@b", "9:05a", std::string(100, 'x'), "10", "s") +
                              kTail);
}

TEST(MessagePage, TextFromServersCannotBecomeMarkup) {
    struct {
        const char* text;
        const char* onPage;
    } const rows[] = {
        {"a < b > c & d", "a &lt; b &gt; c &amp; d"},
        {"fish &amp; chips", "fish &amp;amp; chips"},
        {"<a href=\"delete?1\">x</a>", "&lt;a href=\"delete?1\"&gt;x&lt;/a&gt;"},
        {"&lt;", "&amp;lt;"},
        {"plain \xC3\xA9", "plain \xC3\xA9"},
    };
    for (const auto& r : rows) {
        PW_MAIL m = Mail(1, r.text, r.text);
        m.FromAddress = r.text;
        m.FoundAt = r.text;
        m.SentAt = r.text;  // written by the program itself: taken as it is
        EXPECT_EQ(Built({m}), kHead + Group(r.onPage) +
                                  Row(1, "#FFFFFF", r.onPage, r.onPage, r.text, "10", r.onPage) +
                                  kTail)
            << r.text;
    }
}

TEST(MessagePage, ColorToHex) {
    struct {
        TColor colour;
        const char* hex;
    } const rows[] = {
        {RGB(0, 0, 0), "000000"},
        {RGB(1, 2, 3), "010203"},
        {RGB(0xAB, 0xCD, 0x0F), "ABCD0F"},
        {RGB(255, 255, 255), "FFFFFF"},
        {0xFF000000u | RGB(9, 8, 7), "090807"},  // a byte above blue is not shown
    };
    for (const auto& r : rows) EXPECT_EQ(ColorToHex(r.colour), r.hex) << r.hex;
}

TEST(MessagePage, TheGlobalListIsSortedInPlace) {
    MailList = {Mail(2, "b", "later"), Mail(1, "a", "sooner")};
    std::string page;
    BuildMessagePage(kColors, [&](const std::string& p) { page = p; });
    EXPECT_EQ(MailList[0].Subject, "sooner") << "link positions name the sorted entries";
    EXPECT_NE(
        page.find("sooner</font></td><td><small><font color=\"#000000\"><a href=\"delete?1\""),
        std::string::npos);
    MailList.clear();
}

}  // namespace
}  // namespace kavrel
