#include "core/summary.h"

#include "config/u_globals.h"

namespace kavrel {

TSummary SummaryOf(const TMailList& list, const TAccountSlots<bool>& active) {
    const std::string total = std::to_string(CountMail(list));
    std::string perAccount;
    for (int slot = 1; slot <= kAccountCount; ++slot) {
        if (!active[slot]) continue;
        if (!perAccount.empty()) perAccount += '/';
        perAccount += std::to_string(CountMail(list, slot));
    }
    TSummary summary;
    summary.TrayText = total;
    summary.Hint = perAccount.find('/') != std::string::npos
                       ? total + " (" + perAccount + ") waiting"
                       : total + " emails waiting";
    summary.Caption = total + " messages waiting";
    return summary;
}

void UpdateSummary(TMailList& list, const TAccountSlots<bool>& active, TSummaryView& view) {
    CompactMailList(list);
    const TSummary summary = SummaryOf(list, active);
    view.SetTrayHint(summary.Hint);
    view.SetMessagesCaption(summary.Caption);
    view.SetTrayText(summary.TrayText);
}

void UpdateSummary(TSummaryView& view) { UpdateSummary(MailList, Settings.Active, view); }

}  // namespace kavrel
