#include "core/mail_lookup.h"

#include <functional>

namespace kavrel {

std::size_t TMailLookup::THash::operator()(const TKey& key) const {
    return std::hash<std::string>{}(key.Uid) * 31 + std::hash<std::int32_t>{}(key.Account);
}

TMailLookup::TMailLookup(TMailList& list) : list_(list) {
    first_.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        // emplace keeps the first position of a key that occurs twice.
        first_.emplace(TKey{list[i].UID, list[i].AccountIndex}, i);
    }
}

PW_MAIL* TMailLookup::Find(const std::string& uid, std::int32_t account) {
    const auto it = first_.find(TKey{uid, account});
    if (it == first_.end()) return nullptr;
    PW_MAIL& m = list_[it->second];
    m.Seen = true;
    return &m;
}

bool TMailLookup::Contains(const std::string& uid, std::int32_t account) const {
    return first_.contains(TKey{uid, account});
}

void TMailLookup::AddLast() {
    if (list_.empty()) return;
    const PW_MAIL& m = list_.back();
    first_.emplace(TKey{m.UID, m.AccountIndex}, list_.size() - 1);
}

}  // namespace kavrel
