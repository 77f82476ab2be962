#pragma once

#include <string>

#include "base/date_time.h"
#include "net/pop3/pop3.h"

// When an account's server allows its next log-in. A server that counts log-ins answers one
// that comes too soon with [LOGIN-DELAY], a mailbox another program holds with [IN-USE]: the
// account then waits instead of failing at every check. Kept in memory for this process.
namespace kavrel {

// The line a check logs instead of logging in while the slot waits, or "" when it may log in.
std::string LoginPaused(int slot, TDateTime now);

// After a log-in: a server whose CAPA names a LOGIN-DELAY is not asked again before it ends.
void NoteLogin(int slot, const TPOP3& pop, TDateTime now);

// After a failed log-in or session: what the account's error line adds about its response
// code ("" for none), the slot waiting where the code asks for it.
std::string NoteFailure(int slot, const TPOP3& pop, TDateTime now);

void ClearLoginPauses();

}  // namespace kavrel
