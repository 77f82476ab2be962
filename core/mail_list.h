#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "config/settings.h"

// The program's memory of the messages waiting on the servers. It lives in memory only, so
// after every start each waiting message is new again. Positions count from 1: they are the
// row numbers of the message table's "delete?" links.
namespace kavrel {

struct PW_MAIL {
    bool Seen = false;     // found by the current check
    bool Removed = false;  // gone: dropped by the next compaction
    std::int32_t AccountIndex = 0;
    std::int32_t MsgNumber = 0;
    std::int32_t Size = 0;  // octets; -1 when the server's answer could not be read
    std::string UID;
    std::string FoundAt;  // "h:mma/p"
    std::string SentAt;   // "m/d/yyyy h:mma/p"
    std::string MailBox;  // host + "->" + login at creation
    std::string FromAddress;
    std::string Subject;
};

using TMailList = std::vector<PW_MAIL>;

// The one list of the program, empty at start-up.
extern TMailList MailList;

void ClearSeen(TMailList& list);

// The first entry with this exact uid on this account, with its Seen set; nullptr when none.
// The pointer is valid until the list next changes size.
PW_MAIL* FindMail(TMailList& list, const std::string& uid, std::int32_t account);

// A new, empty entry at the end, for the caller to fill field by field.
PW_MAIL& AppendMail(TMailList& list);

// Marks every entry the check did not see, except those of the slots in keep: an account that
// could not be checked to the end still holds them, and dropping them would announce them as
// new mail at its next good check.
void MarkUnseenRemoved(TMailList& list, const TAccountSlots<bool>& keep = {});

// Clears Seen and sets Removed on the entry at position (from 1); false when there is none.
bool MarkDeleted(TMailList& list, std::size_t position);

// Drops every Removed entry, keeping the order of the rest.
void CompactMailList(TMailList& list);
void CompactMailList();

// Orders by AccountIndex exactly as the exchange sort over all pairs (for i, for j: if key(i) <
// key(j) swap them) orders: not stable, and rows within a mailbox move between builds in its own
// way. The row order is part of what the user sees, so std::sort or std::stable_sort will not
// do; any change must keep the result equal, row for row, to that double loop.
void SortMailList(TMailList& list);
void SortMailList();

// Entries in all (account 0) or of one account.
std::size_t CountMail(const TMailList& list, std::int32_t account = 0);

}  // namespace kavrel
