#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "tests/support/temp_dir.h"

namespace kavrel::test {

// A private desktop keyring: a session bus of its own (dbus-daemon with its own
// configuration, so nothing is activated on demand) and gnome-keyring-daemon with only its
// secrets component, its keyrings under a temporary folder and the default collection
// unlocked with a known password, so no user's real keyring is ever touched. This process's
// DBUS_SESSION_BUS_ADDRESS points at the bus for the life of the object. Works as root and
// without a display: nothing ever prompts. Both daemons are stopped by the destructor, and
// the bus also dies with this process. Throws std::runtime_error when a package is missing or
// a daemon does not come up.
class TKeyringSession {
  public:
    enum class TServices { BusAndKeyring, BusOnly };

    explicit TKeyringSession(TServices services = TServices::BusAndKeyring);
    TKeyringSession(const TKeyringSession&) = delete;
    TKeyringSession& operator=(const TKeyringSession&) = delete;
    ~TKeyringSession();

    const std::string& BusAddress() const { return address_; }

    // Locks the default collection, as a screen lock or a keyring manager would.
    void LockDefaultCollection();

  private:
    void StartBus();
    void StartKeyring();
    void Stop();

    TTempDir dir_;
    std::string address_;
    pid_t bus_ = -1;
    pid_t keyring_ = -1;
    std::optional<TScopedEnv> busEnv_;
};

}  // namespace kavrel::test
