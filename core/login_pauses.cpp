#include "core/login_pauses.h"

#include <algorithm>

#include "config/settings.h"
#include "config/u_globals.h"
#include "core/oauth_accounts.h"

namespace kavrel {
namespace {

constexpr TDateTime kMinute = 1.0 / (24 * 60);
constexpr TDateTime kSecond = kMinute / 60;
// Long enough for a server that names no delay; web.de's is 15 minutes.
constexpr int kDefaultLoginDelayMinutes = 15;
// Another program's session rarely lasts longer.
constexpr int kInUseMinutes = 5;

struct TPause {
    std::string account;  // the server and login it was for: a changed slot does not wait
    TDateTime until = 0;
};

TAccountSlots<TPause>& Pauses() {
    static TAccountSlots<TPause> pauses;
    return pauses;
}

std::string AccountOf(int slot) { return Settings.Server[slot] + "\n" + Settings.Account[slot]; }

void Pause(int slot, TDateTime until) { Pauses()[slot] = {AccountOf(slot), until}; }

std::string At(TDateTime time) { return FormatDateTime("h:nna/p", time); }

}  // namespace

std::string LoginPaused(int slot, TDateTime now) {
    const TPause& pause = Pauses()[slot];
    if (pause.account != AccountOf(slot) || now >= pause.until) return {};
    return " ... not checked: the server allows the next log-in at " + At(pause.until) + ".";
}

void NoteLogin(int slot, const TPOP3& pop, TDateTime now) {
    if (pop.LoginDelaySeconds > 0) Pause(slot, now + pop.LoginDelaySeconds * kSecond);
}

std::string NoteFailure(int slot, const TPOP3& pop, TDateTime now) {
    const bool oauth = !pop.AccessToken.empty();
    switch (pop.LastResponseCode) {
        case TResponseCode::LoginDelay: {
            const int seconds =
                pop.LoginDelaySeconds > 0 ? pop.LoginDelaySeconds : kDefaultLoginDelayMinutes * 60;
            const TDateTime until = now + seconds * kSecond;
            Pause(slot, until);
            return " (the server allows one log-in every " +
                   std::to_string(std::max(1, seconds / 60)) + " minutes: the next at " +
                   At(until) + ")";
        }
        case TResponseCode::InUse: {
            const TDateTime until = now + kInUseMinutes * kMinute;
            Pause(slot, until);
            return " (another program is using this mailbox: tried again after " + At(until) + ")";
        }
        case TResponseCode::SysTemp:
            return " (a passing fault at the server: tried again at the next check)";
        case TResponseCode::Auth:
            // A password's refusal keeps the server's words alone, as it always has.
            if (!oauth) return {};
            ForgetAccessToken(slot);
            return " (the next check asks the provider for a fresh token)";
        case TResponseCode::SysPerm:
        case TResponseCode::None:
            break;
    }
    return {};
}

void ClearLoginPauses() { Pauses() = {}; }

}  // namespace kavrel
