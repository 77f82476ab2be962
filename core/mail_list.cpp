#include "core/mail_list.h"

#include <algorithm>
#include <iterator>
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

// The double loop in O(n * k) for k distinct keys, with the very swaps it makes. Its pass i = 0
// carries the running maximum to the front. From then on the prefix before i is in key order,
// and pass i only swaps entry i with the first entry of each block of a higher key, lowest
// first: i lands after its key's block, each higher block shifts right by one with its first
// entry moved to its end, and the top key comes back to i, so the rest of the pass swaps nothing.
// Only those swaps are made here; the loop's comparisons are what made it quadratic.
void SortMailList(TMailList& list) {
    const std::size_t n = list.size();
    if (n < 2) return;
    for (std::size_t j = 1; j < n; ++j) {
        if (list[0].AccountIndex < list[j].AccountIndex) std::swap(list[0], list[j]);
    }
    struct TBlock {
        std::int32_t key;
        std::size_t start;
    };
    std::vector<TBlock> blocks{{list[0].AccountIndex, 0}};  // the prefix's keys, ascending
    for (std::size_t i = 1; i < n; ++i) {
        const std::int32_t key = list[i].AccountIndex;
        auto higher = std::upper_bound(blocks.begin(), blocks.end(), key,
                                       [](std::int32_t k, const TBlock& b) { return k < b.key; });
        const std::size_t landing = higher == blocks.end() ? i : higher->start;
        for (auto b = higher; b != blocks.end(); ++b) std::swap(list[i], list[b->start++]);
        if (higher == blocks.begin() || std::prev(higher)->key != key) {
            blocks.insert(higher, {key, landing});
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
