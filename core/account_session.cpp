#include "core/account_session.h"

#include <optional>
#include <string_view>

#include "base/strings.h"
#include "config/durable_file.h"
#include "config/u_globals.h"
#include "core/oauth_accounts.h"
#include "core/secrets.h"
#include "net/pop3/server_address.h"

namespace kavrel {
namespace {

// A line per account; far more than anyone has.
constexpr std::size_t kMaxMemory = 64 * 1024;

std::optional<TTLSMode> ModeOf(TSecurity security) {
    switch (security) {
        case TSecurity::TLS:
            return TTLSMode::tmImplicit;
        case TSecurity::STARTTLS:
            return TTLSMode::tmRequired;
        case TSecurity::WhenOffered:
            return TTLSMode::tmWhenOffered;
        case TSecurity::None:
            return TTLSMode::tmNone;
        case TSecurity::Auto:
            break;
    }
    return std::nullopt;
}

std::string AccountLine(const TPOP3& pop) {
    return LowerCase(pop.Host) + ":" + std::to_string(pop.Port) + " " + pop.Username + "\n";
}

std::string Memory() {
    return ReadFileUpTo(TLSMemoryPath(), kMaxMemory).Text.value_or(std::string());
}

bool Remembered(const std::string& memory, const std::string& line) {
    for (std::size_t at = memory.find(line); at != std::string::npos;
         at = memory.find(line, at + 1)) {
        if (at == 0 || memory[at - 1] == '\n') return true;
    }
    return false;
}

}  // namespace

std::string TLSMemoryPath() { return SettingsFolder() + "kavrel.tls"; }

void PrepareSession(TPOP3& pop, int slot) {
    // Nothing of the slot before may speak for this one, even if preparing it fails.
    pop.LastResponseCode = TResponseCode::None;
    pop.AccessToken.clear();
    pop.Password.clear();
    SetServer(pop, Settings.Server[slot], ModeOf(Settings.Security[slot]));
    pop.Username = Settings.Account[slot];
    if (Settings.SignIn[slot] == TSignIn::OAuth) {
        // A renewal waits on the provider as the mail connection waits on the server.
        pop.AccessToken = AccessTokenFor(slot, [&pop] {
            if (pop.OnWaiting) pop.OnWaiting(pop);
        });
    } else {
        pop.Password = PasswordOf(slot);
    }
    pop.NoSTLSText = kNoSTLSRequired;
    if (pop.TLS == TTLSMode::tmWhenOffered && Remembered(Memory(), AccountLine(pop))) {
        pop.TLS = TTLSMode::tmRequired;
        pop.NoSTLSText =
            "TLS: the server no longer offers STLS, so the password was kept back: this account "
            "has always logged in over TLS";
    }
}

bool NoteSession(TPOP3& pop) {
    // SCRAM proves the password without sending it.
    if (!pop.TLSActive()) return pop.SignInMechanism != "SCRAM-SHA-256";
    const std::string line = AccountLine(pop);
    std::string memory = Memory();
    if (!Remembered(memory, line) && memory.size() + line.size() <= kMaxMemory) {
        // A memory that cannot be written costs only the protection it would give.
        static_cast<void>(ReplaceFileAtomically(TLSMemoryPath(), memory + line, 0600, 0600));
    }
    return false;
}

}  // namespace kavrel
