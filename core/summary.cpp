#include "core/summary.h"

#include <algorithm>
#include <cstddef>

#include "config/u_globals.h"
#include "core/account_checks.h"

namespace kavrel {

std::string TrayCountText(std::size_t count) {
    if (count < 1000) return std::to_string(count);
    return std::to_string(std::min<std::size_t>(count / 1000, 9)) + "k+";
}

std::string MailBoxOf(int slot) { return Settings.Server[slot] + "->" + Settings.Account[slot]; }

std::vector<TAccountCount> AccountCounts(const TMailList& list, const TAccountSlots<bool>& active,
                                         const TAccountSlots<bool>& failed) {
    std::vector<TAccountCount> counts;
    for (int slot = 1; slot <= kAccountCount; ++slot) {
        if (active[slot]) counts.push_back({MailBoxOf(slot), CountMail(list, slot), failed[slot]});
    }
    return counts;
}

TSummary SummaryOf(const TMailList& list, const TAccountSlots<bool>& active,
                   const TAccountSlots<bool>& failed) {
    const std::string total = std::to_string(CountMail(list));
    std::string perAccount;
    int unchecked = 0;
    for (const TAccountCount& account : AccountCounts(list, active, failed)) {
        if (!perAccount.empty()) perAccount += '/';
        perAccount += std::to_string(account.Count);
        if (account.Uncertain) {
            perAccount += '?';
            ++unchecked;
        }
    }
    TSummary summary;
    summary.Uncertain = unchecked > 0;
    summary.TrayText = TrayCountText(CountMail(list));
    summary.Hint = perAccount.find('/') != std::string::npos
                       ? total + " (" + perAccount + ") waiting"
                       : total + (summary.Uncertain ? "?" : "") + " emails waiting";
    summary.Caption = total + " messages waiting";
    if (unchecked > 0) {
        summary.Caption += " (" + std::to_string(unchecked) +
                           (unchecked == 1 ? " account" : " accounts") + " not checked)";
    }
    return summary;
}

void UpdateSummary(TMailList& list, const TAccountSlots<bool>& active, TSummaryView& view,
                   const TAccountSlots<bool>& failed) {
    CompactMailList(list);
    const TSummary summary = SummaryOf(list, active, failed);
    view.SetTrayHint(summary.Hint);
    view.SetMessagesCaption(summary.Caption);
    view.SetTrayText(summary.TrayText, summary.Uncertain);
}

void UpdateSummary(TSummaryView& view) {
    UpdateSummary(MailList, Settings.Active, view, FailedSlots(AccountChecks));
}

}  // namespace kavrel
