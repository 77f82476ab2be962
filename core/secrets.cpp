#include "core/secrets.h"

#include "base/strings.h"
#include "config/settings.h"
#include "config/u_globals.h"
#include "core/memory_secret_store.h"

namespace kavrel {
namespace {

// Until the program sets its keyring, every secret asked for says why there is none.
std::unique_ptr<TSecretStore> NoStore() {
    auto store = std::make_unique<TMemorySecretStore>();
    store->Unavailable = "this program was started without one";
    return store;
}

std::unique_ptr<TSecretStore>& Store() {
    static std::unique_ptr<TSecretStore> store = NoStore();
    return store;
}

TSecretKey KeyOf(TSecretKind kind, int slot) {
    return {kind, Trim(Settings.Account[slot]), Trim(Settings.Server[slot])};
}

}  // namespace

bool HasLogin(int slot) {
    return !Trim(Settings.Account[slot]).empty() && !Trim(Settings.Server[slot]).empty();
}

TSecretStore& Secrets() { return *Store(); }

void SetSecrets(std::unique_ptr<TSecretStore> store) {
    Store() = store ? std::move(store) : NoStore();
}

TSecretKey PasswordKey(int slot) { return KeyOf(TSecretKind::Password, slot); }
TSecretKey RefreshTokenKey(int slot) { return KeyOf(TSecretKind::RefreshToken, slot); }

std::string PasswordOf(int slot) {
    std::string& password = Settings.Password[slot];
    if (Settings.PasswordsInKeyring && password.empty() && HasLogin(slot)) {
        password = Secrets().Lookup(PasswordKey(slot)).value_or(std::string());
    }
    return password;
}

void SaveSettingsAndSecrets(bool wereInKeyring) {
    if (Settings.PasswordsInKeyring) {
        for (int n = 1; n <= kAccountCount; ++n) {
            // An empty box may only mean the keyring could not be read when it was filled.
            if (!HasLogin(n) || Settings.Password[n].empty()) continue;
            try {
                Secrets().Store(PasswordKey(n), Settings.Password[n]);
            } catch (const ESecretStoreError& e) {
                throw ESettingsSaveError(
                    std::string("The settings were not saved: ") + e.what() +
                    " Start the keyring, or turn off \"Keep passwords in the desktop keyring\", "
                    "and close Settings again.");
            }
        }
    }
    SaveSettings();
    if (Settings.PasswordsInKeyring || !wereInKeyring) return;
    // Only a password the file now holds may leave the keyring; a keyring that cannot be
    // reached keeps its copy, which is no loss.
    for (int n = 1; n <= kAccountCount; ++n) {
        if (!HasLogin(n) || Settings.Password[n].empty()) continue;
        try {
            Secrets().Remove(PasswordKey(n));
        } catch (const ESecretStoreError&) {
        }
    }
}

}  // namespace kavrel
