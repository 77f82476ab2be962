#pragma once

#include <map>
#include <optional>
#include <string>

#include "core/secret_store.h"

namespace kavrel {

// A secret store in memory, for tests of the code that uses one. Setting Unavailable makes
// every call raise ESecretStoreUnavailable with that reason, as a desktop without a keyring
// does.
class TMemorySecretStore : public TSecretStore {
  public:
    std::optional<std::string> Unavailable;

    std::optional<std::string> Lookup(const TSecretKey& key) override {
        Check();
        const auto it = secrets_.find(key);
        if (it == secrets_.end()) return std::nullopt;
        return it->second;
    }
    void Store(const TSecretKey& key, const std::string& secret) override {
        Check();
        secrets_[key] = secret;
    }
    void Remove(const TSecretKey& key) override {
        Check();
        secrets_.erase(key);
    }

    const std::map<TSecretKey, std::string>& Secrets() const { return secrets_; }

  private:
    void Check() const {
        if (Unavailable) throw ESecretStoreUnavailable(*Unavailable);
    }

    std::map<TSecretKey, std::string> secrets_;
};

}  // namespace kavrel
