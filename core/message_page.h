#pragma once

#include <functional>
#include <string>

#include "base/date_time.h"
#include "core/account_checks.h"
#include "core/mail_list.h"
#include "core/system_colors.h"

// The "Messages" page: the tracked messages as one HTML table, one group per mailbox and one
// row per message, each row ending in a "delete?" + position link.
namespace kavrel {

// Six upper-case hexadecimal digits: red, green, blue.
std::string ColorToHex(TColor colour);

// The page's colours from the desktop's. In a light theme they are the desktop's own, except
// where text would stand out too little: the rows' text and the heading keep 4.5:1, the bold
// group rows 3:1, by moving the background; links use the tool-tip text colour only where it
// holds 4.5:1 on both row colours, else the rows' text colour.
struct TPageColors {
    TColor Heading, Caption, Body, Odd, Group, Even, Link;
};
TPageColors MessagePageColors(const TSystemColors& colors);

// "&", then ">", then "<" replaced by their entities.
std::string EscapeMarkup(const std::string& text);

// The page text for a list in the order given (by account slot); today names the day whose
// date a sent time may leave out. The group of an account whose last check failed says so, and
// such an account without a tracked message still gets its group row.
std::string MessagePageText(const TMailList& list, const TSystemColors& colors, TDateTime today,
                            const TAccountChecks& checks = {});

// Where a built page goes: the viewer's load, which replaces the page shown.
using TLoadPage = std::function<void(const std::string& page)>;

// Sorts the list, builds its page against today's date and hands it to load. The positions in
// the links are valid for as long as the list keeps this order.
void BuildMessagePage(TMailList& list, const TSystemColors& colors, TDateTime today,
                      const TLoadPage& load, const TAccountChecks& checks = {});
void BuildMessagePage(const TSystemColors& colors, const TLoadPage& load);

}  // namespace kavrel
