#include "core/mail_list.h"

#include <algorithm>
#include <utility>

namespace kavrel {

TMailList MailList;

void ClearSeen(TMailList& list) {
    for (PW_MAIL& m : list) m.Seen = false;
}

PW_MAIL* FindMail(TMailList& list, const std::string& uid, std::int32_t account) {
    for (PW_MAIL& m : list) {
        if (m.UID == uid && m.AccountIndex == account) {
            m.Seen = true;
            return &m;
        }
    }
    return nullptr;
}

PW_MAIL& AppendMail(TMailList& list) { return list.emplace_back(); }

void MarkUnseenRemoved(TMailList& list, const TAccountSlots<bool>& keep) {
    for (PW_MAIL& m : list) {
        const bool kept =
            m.AccountIndex >= 1 && m.AccountIndex <= kAccountCount && keep[m.AccountIndex];
        if (!m.Seen && !kept) m.Removed = true;
    }
}

bool MarkDeleted(TMailList& list, std::size_t position) {
    if (position < 1 || position > list.size()) return false;
    PW_MAIL& m = list[position - 1];
    m.Seen = false;
    m.Removed = true;
    return true;
}

void CompactMailList(TMailList& list) {
    std::erase_if(list, [](const PW_MAIL& m) { return m.Removed; });
}

void CompactMailList() { CompactMailList(MailList); }

void SortMailList(TMailList& list) {
    const std::size_t n = list.size();
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            if (list[i].AccountIndex < list[j].AccountIndex) std::swap(list[i], list[j]);
        }
    }
}

void SortMailList() { SortMailList(MailList); }

std::size_t CountMail(const TMailList& list, std::int32_t account) {
    if (account == 0) return list.size();
    return static_cast<std::size_t>(
        std::count_if(list.begin(), list.end(),
                      [account](const PW_MAIL& m) { return m.AccountIndex == account; }));
}

}  // namespace kavrel
