#pragma once

#include <optional>
#include <string>

#include "core/secret_store.h"

// The user's desktop keyring, reached through the Secret Service D-Bus interface with
// libsecret. Each secret is an item of the default collection with the schema
// "org.kavrel.Secret" and the attributes kind ("password" or "refresh-token"), account and
// server, labelled for the user's keyring manager ("Kavrel password for ann on
// pop.example.org", "Kavrel sign-in for ann on ...").
namespace kavrel {

// Every call opens its own connection to the session bus and waits on a main context of its
// own, so it is safe on any thread and never runs anybody else's callbacks. A call gives up
// after a few seconds without an answer (ESecretStoreUnavailable); only while the desktop asks
// the user to unlock a locked collection does it wait longer, for the user. A collection that
// stays locked raises ESecretStoreUnavailable; other refusals raise ESecretStoreError. Error
// texts name the account and server, never the secret.
class TDesktopKeyring : public TSecretStore {
  public:
    std::optional<std::string> Lookup(const TSecretKey& key) override;
    void Store(const TSecretKey& key, const std::string& secret) override;
    void Remove(const TSecretKey& key) override;
};

}  // namespace kavrel
