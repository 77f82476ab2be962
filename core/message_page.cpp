#include "core/message_page.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "base/integer.h"
#include "core/contrast.h"

namespace kavrel {
namespace {

void ReplaceAll(std::string& text, std::string_view what, std::string_view with) {
    for (std::size_t p = text.find(what); p != std::string::npos;
         p = text.find(what, p + with.size())) {
        text.replace(p, what.size(), with);
    }
}

std::string FontTag(TColor colour) { return "<font color=\"#" + ColorToHex(colour) + "\">"; }

// A message sent today shows its time only, keeping the blank that followed the date.
std::string SentText(const std::string& sentAt, const std::string& today) {
    if (sentAt.compare(0, today.size(), today) != 0) return sentAt;
    return sentAt.substr(today.size(), 100);
}

std::string SizeText(std::int32_t size) {
    if (size > 1024) return IntToStr(size / 1024) + "k";
    return IntToStr(size);
}

}  // namespace

std::string ColorToHex(TColor colour) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (int shift : {0, 8, 16}) {
        const unsigned byte = (colour >> shift) & 0xFF;
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xF];
    }
    return out;
}

TPageColors MessagePageColors(const TSystemColors& colors) {
    constexpr double kText = 4.5;
    constexpr double kBoldText = 3.0;
    TPageColors c;
    c.Caption = colors.GetSysColor(TSysColor::CaptionText);
    c.Heading = WithContrast(colors.GetSysColor(TSysColor::ActiveCaption), c.Caption, kText);
    c.Group = WithContrast(colors.GetSysColor(TSysColor::InactiveCaption), c.Caption, kBoldText);
    c.Body = colors.GetSysColor(TSysColor::WindowText);
    c.Odd = WithContrast(colors.GetSysColor(TSysColor::Window), c.Body, kText);
    c.Even = WithContrast(colors.GetSysColor(TSysColor::BtnHighlight), c.Body, kText);
    const TColor tip = colors.GetSysColor(TSysColor::InfoText);
    const bool tipReadable =
        ContrastRatio(tip, c.Odd) >= kText && ContrastRatio(tip, c.Even) >= kText;
    c.Link = tipReadable ? tip : c.Body;
    return c;
}

std::string EscapeMarkup(const std::string& text) {
    std::string out = text;
    ReplaceAll(out, "&", "&amp;");
    ReplaceAll(out, ">", "&gt;");
    ReplaceAll(out, "<", "&lt;");
    return out;
}

std::string MessagePageText(const TMailList& list, const TSystemColors& colors, TDateTime today,
                            const TAccountChecks& checks) {
    const TPageColors c = MessagePageColors(colors);
    const std::string headingBack = "#" + ColorToHex(c.Heading);
    const std::string captionFont = FontTag(c.Caption);
    const std::string bodyFont = FontTag(c.Body);
    const std::string oddBack = "#" + ColorToHex(c.Odd);
    const std::string groupBack = "#" + ColorToHex(c.Group);
    const std::string evenBack = "#" + ColorToHex(c.Even);
    const std::string todayText = FormatDateTime("m/d/yyyy", today);

    // The unclosed heading row, the unclosed link cells and "&nbsp" without its semicolon are
    // the page as it has always been written; the viewer reads them as a browser would.
    std::string page =
        "<body><table border=\"0\" cellpadding=\"3\" cellspacing=\"1\" width=\"100%\">";
    page += "<tr bgcolor=\"" + headingBack + "\" valign=\"bottom\">";
    page += "<td>" + captionFont + "<strong>MailBox</strong><br />From</font></td>";
    page += "<td>" + captionFont + "Recvd</font></td>";
    page += "<td>" + captionFont + "Sent</font></td>";
    page += "<td>" + captionFont + "Size<font color=\"white\"></td>";
    page += "<td width=\"100%\">" + captionFont + "Subject</font></td>";
    page += "<td>&nbsp</td>";

    // Sender, mailbox and time come from servers and strangers: escaped like the subject so
    // that none of them can put markup or links into the page.
    const auto groupRow = [&](const std::string& mailBox, int slot) {
        page += "<tr bgcolor=\"" + groupBack + "\" valign=\"top\">";
        page +=
            "<td colspan=\"6\">" + captionFont + "<strong>" + EscapeMarkup(mailBox) + "</strong>";
        if (slot >= 1 && slot <= kAccountCount && checks[slot].Failed) {
            page += " (last check failed at " + checks[slot].FailedAt + ")";
        }
        page += "</font></td></tr>\r\n";
    };
    // A failed account without a tracked message would otherwise vanish from the page, as if
    // its mailbox were empty.
    int shownSlot = 0;
    const auto emptyFailedGroupsBefore = [&](int slot) {
        for (; shownSlot < std::min(slot, kAccountCount + 1); ++shownSlot) {
            if (shownSlot >= 1 && checks[shownSlot].Failed && CountMail(list, shownSlot) == 0) {
                groupRow(checks[shownSlot].MailBox, shownSlot);
            }
        }
    };

    for (std::size_t i = 0; i < list.size(); ++i) {
        const PW_MAIL& m = list[i];
        const std::size_t n = i + 1;
        emptyFailedGroupsBefore(m.AccountIndex);
        if (i == 0 || m.MailBox != list[i - 1].MailBox) groupRow(m.MailBox, m.AccountIndex);
        page += "<tr bgcolor=\"" + (n % 2 == 1 ? oddBack : evenBack) + "\" valign=\"top\">";
        page += "<td>" + bodyFont + EscapeMarkup(m.FromAddress) + "</font></td>";
        page += "<td>" + bodyFont + EscapeMarkup(m.FoundAt) + "</font></td>";
        page += "<td>" + bodyFont + SentText(m.SentAt, todayText) + "</font></td>";
        page += "<td>" + bodyFont + SizeText(m.Size) + "</font></td>";
        page += "<td width=\"100%\">" + bodyFont + EscapeMarkup(m.Subject) + "</font></td>";
        page += "<td><small>" + bodyFont + "<a href=\"delete?" + IntToStr(std::int64_t(n)) +
                "\">delete</a></font></small></tr>\r\n";
    }
    emptyFailedGroupsBefore(kAccountCount + 1);
    page += "</table></body>";
    return page;
}

void BuildMessagePage(TMailList& list, const TSystemColors& colors, TDateTime today,
                      const TLoadPage& load, const TAccountChecks& checks) {
    SortMailList(list);
    load(MessagePageText(list, colors, today, checks));
}

void BuildMessagePage(const TSystemColors& colors, const TLoadPage& load) {
    BuildMessagePage(MailList, colors, Date(), load, AccountChecks);
}

}  // namespace kavrel
