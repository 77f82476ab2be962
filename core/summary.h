#pragma once

#include <string>

#include "config/settings.h"
#include "core/mail_list.h"

// How much mail waits, in the three places the user sees it: the number in the tray icon, the
// tray icon's tool-tip and the bold label of the main window.
namespace kavrel {

struct TSummary {
    std::string TrayText;  // the total in decimal
    std::string Hint;  // "7 (2/5) waiting" with two or more active slots, else "7 emails waiting"
    std::string Caption;  // "7 messages waiting"
};

// Every entry counts in the total; only active slots appear in the per-account list, zeros
// included, so a slot switched off since the last check still adds to the total.
TSummary SummaryOf(const TMailList& list, const TAccountSlots<bool>& active);

// Where the summary goes; the main window implements it over its tray icon and label.
class TSummaryView {
  public:
    virtual ~TSummaryView() = default;
    virtual void SetTrayHint(const std::string& hint) = 0;
    virtual void SetMessagesCaption(const std::string& caption) = 0;
    virtual void SetTrayText(const std::string& text) = 0;
};

// Drops the removed entries first: this is the step that really forgets them. Then sets the
// hint, the caption and the tray text, in that order.
void UpdateSummary(TMailList& list, const TAccountSlots<bool>& active, TSummaryView& view);

// The same over MailList and Settings.Active.
void UpdateSummary(TSummaryView& view);

}  // namespace kavrel
