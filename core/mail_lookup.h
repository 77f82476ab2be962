#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "core/mail_list.h"

namespace kavrel {

// FindMail's answers without a scan of the list per message: a check of a mailbox of ten
// thousand known messages would otherwise compare fifty million uids. Valid while entries are
// only appended; every answer is the first matching entry, as the scan gives.
class TMailLookup {
  public:
    explicit TMailLookup(TMailList& list);

    // The first entry with this exact uid on this account, with its Seen set; nullptr when
    // none. Valid until the list next changes size.
    PW_MAIL* Find(const std::string& uid, std::int32_t account);
    // Whether Find would give an entry, without marking it seen.
    bool Contains(const std::string& uid, std::int32_t account) const;
    // The last entry of the list has just been given its uid and account.
    void AddLast();

  private:
    struct TKey {
        std::string Uid;
        std::int32_t Account;
        bool operator==(const TKey&) const = default;
    };
    struct THash {
        std::size_t operator()(const TKey& key) const;
    };

    TMailList& list_;
    std::unordered_map<TKey, std::size_t, THash> first_;
};

}  // namespace kavrel
