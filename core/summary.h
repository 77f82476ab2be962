#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "config/settings.h"
#include "core/mail_list.h"

// How much mail waits, in the three places the user sees it: the number in the tray icon, the
// tray icon's tool-tip and the bold label of the main window.
namespace kavrel {

struct TSummary {
    std::string TrayText;  // the total in decimal; "1k+" to "9k+" from 1000 on
    std::string Hint;  // "7 (2/5) waiting" with two or more active slots, else "7 emails waiting"
    std::string Caption;     // "7 messages waiting"
    bool Uncertain = false;  // an active slot's last check failed
};

// What the tray icon draws for a count: three digits at most, so that it stays readable in
// its small square; the tool-tip and the label give the exact number.
std::string TrayCountText(std::size_t count);

// Every entry counts in the total; only active slots appear in the per-account list, zeros
// included, so a slot switched off since the last check still adds to the total. An active
// slot in failed is counted from the messages of its last good check and marked with "?":
// "7 (4/3?) waiting", "3? emails waiting", "7 messages waiting (1 account not checked)".
TSummary SummaryOf(const TMailList& list, const TAccountSlots<bool>& active,
                   const TAccountSlots<bool>& failed = {});

// One active slot's share of the total, as the tool-tip, a status bar or a script reads it.
struct TAccountCount {
    std::string MailBox;  // MailBoxOf the slot
    std::size_t Count = 0;
    bool Uncertain = false;  // its last check failed; the count is from the one before
};

// The active slots in slot order.
std::vector<TAccountCount> AccountCounts(const TMailList& list, const TAccountSlots<bool>& active,
                                         const TAccountSlots<bool>& failed);

// The slot's mailbox as the log names it: host + "->" + login.
std::string MailBoxOf(int slot);

// Where the summary goes; the main window implements it over its tray icon and label.
class TSummaryView {
  public:
    virtual ~TSummaryView() = default;
    virtual void SetTrayHint(const std::string& hint) = 0;
    virtual void SetMessagesCaption(const std::string& caption) = 0;
    // uncertain: the count includes an account whose last check failed.
    virtual void SetTrayText(const std::string& text, bool uncertain) = 0;
};

// Drops the removed entries first: this is the step that really forgets them. Then sets the
// hint, the caption and the tray text, in that order.
void UpdateSummary(TMailList& list, const TAccountSlots<bool>& active, TSummaryView& view,
                   const TAccountSlots<bool>& failed = {});

// The same over MailList, Settings.Active and AccountChecks.
void UpdateSummary(TSummaryView& view);

}  // namespace kavrel
