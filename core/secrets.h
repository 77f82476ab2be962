#pragma once

#include <memory>
#include <string>

#include "core/secret_store.h"

// The secrets of the account slots: where they are kept and how they are found.
namespace kavrel {

// The store of this process: the desktop keyring in the program, set once at start; until
// then one that is never available.
TSecretStore& Secrets();
void SetSecrets(std::unique_ptr<TSecretStore> store);

// The slot names a server and a login: it can be checked, and its secrets have a key.
bool HasLogin(int slot);

TSecretKey PasswordKey(int slot);
TSecretKey RefreshTokenKey(int slot);

// The slot's password: from the settings, or from the keyring when the settings keep them
// there (read once, then kept with the settings). Raises the keyring's error.
std::string PasswordOf(int slot);

// SaveSettings, with the passwords put into the keyring first when it is to hold them: a
// keyring that cannot take them stops the save, so no password is lost and none lands in the
// file instead. When the keyring held them before (wereInKeyring) and no longer is to, the
// passwords the file now holds leave it after the save.
void SaveSettingsAndSecrets(bool wereInKeyring);

}  // namespace kavrel
