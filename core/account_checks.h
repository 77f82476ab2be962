#pragma once

#include <string>

#include "config/settings.h"

// What the last check could learn of each account slot. An account it could not check, or not
// to the end, keeps the messages of its last good check, and every count shown for it says
// that it is uncertain: a server that is down is not an empty mailbox.
namespace kavrel {

struct TAccountCheck {
    bool Failed = false;
    std::string MailBox;   // host + "->" + login, as the failed check logged it
    std::string FailedAt;  // "h:nna/p m/d/yyyy"
};

using TAccountChecks = TAccountSlots<TAccountCheck>;

// The one record of the program: no slot has failed before the first check.
extern TAccountChecks AccountChecks;

// The slots whose last check failed.
TAccountSlots<bool> FailedSlots(const TAccountChecks& checks);

}  // namespace kavrel
