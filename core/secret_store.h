#pragma once

#include <compare>
#include <optional>
#include <stdexcept>
#include <string>

// Where secrets live that must never be written to kavrel.ini: OAuth refresh tokens always,
// passwords when the user asks for it. The desktop's keyring implements it; tests use the
// in-memory one. No store falls back to plain text: a failure is raised, never hidden.
namespace kavrel {

enum class TSecretKind { Password, RefreshToken };

// An account's secret, found by the account name and server exactly as the user typed them.
struct TSecretKey {
    TSecretKind kind = TSecretKind::Password;
    std::string account;
    std::string server;

    friend auto operator<=>(const TSecretKey&, const TSecretKey&) = default;
};

// Any failure of a store. Its text names the account and server, never the secret.
class ESecretStoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Nobody answers for the store, or it stays locked: the caller must tell the user, not carry
// on without the secret.
class ESecretStoreUnavailable : public ESecretStoreError {
  public:
    // reason: "no keyring service runs on the session bus".
    explicit ESecretStoreUnavailable(const std::string& reason)
        : ESecretStoreError("The desktop keyring (Secret Service) is not available: " + reason +
                            ".") {}
};

class TSecretStore {
  public:
    virtual ~TSecretStore() = default;
    // nullopt when the store holds no such secret.
    virtual std::optional<std::string> Lookup(const TSecretKey& key) = 0;
    // Replaces what the store held for the key.
    virtual void Store(const TSecretKey& key, const std::string& secret) = 0;
    // Removing a secret that is not there is no error.
    virtual void Remove(const TSecretKey& key) = 0;
};

}  // namespace kavrel
