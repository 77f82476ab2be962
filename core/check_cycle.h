#pragma once

#include <stdexcept>
#include <string>

#include "core/mail_watch_view.h"
#include "net/pop3/pop3.h"

// One pass over the four account slots: which messages wait on each enabled account, the
// tracked list brought up to date, the counts and the page redrawn, and the new-mail reactions.
namespace kavrel {

// A server that stops answering half-way fails the call instead of holding the window.
constexpr int kMailReadTimeout = 60000;

// Reading a line the listing does not have.
class EStringListError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The unique id in one line of the UIDL listing: the text after the first blank, or the whole
// line when it has no blank or ends in its first one. The message number is not looked at.
std::string UidFromUidlLine(const std::string& line);

struct TCheckResult {
    bool Ran = false;        // false when busy was already set
    int Accounts = 0;        // enabled slots that were contacted
    int FailedAccounts = 0;  // of those, the ones whose log-in, listing or count failed
    bool NewMail = false;
};

// busy is the window's flag shared with the deletion and the update check: a check finds it
// set and does nothing, or holds it until the end, errors included. The settings are read
// slot by slot, so a slot changed in the settings dialog during the check counts as changed.
TCheckResult CheckMail(TPOP3& pop, bool& busy, TMailWatchView& view);

}  // namespace kavrel
