#include "desktop/keyring.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <thread>

#include "core/memory_secret_store.h"
#include "tests/support/keyring_session.h"
#include "tests/support/raises.h"
#include "tests/support/temp_dir.h"

namespace kavrel {
namespace {

using namespace kavrel::test;

constexpr const char* kUnavailable = "The desktop keyring (Secret Service) is not available: ";

const TSecretKey kAnnPassword{TSecretKind::Password, "ann", "pop.example.org"};
const TSecretKey kAnnToken{TSecretKind::RefreshToken, "ann", "pop.example.org"};
const TSecretKey kBobPassword{TSecretKind::Password, "bob", "pop.example.org"};
const TSecretKey kBobToken{TSecretKind::RefreshToken, "bob", "mail.example.net"};
// Never stored: the server is matched as typed, not as a host name.
const TSecretKey kAnnOtherCase{TSecretKind::Password, "ann", "POP.example.org"};

// The sockets this process has open. GLib closes a released bus connection on its own worker
// thread a moment after the call, so this waits (up to a generous limit) for none to be left.
std::size_t SocketsLeft() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        std::size_t sockets = 0;
        for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code ec;
            if (std::filesystem::read_symlink(e.path(), ec).string().starts_with("socket:"))
                ++sockets;
        }
        if (sockets == 0 || std::chrono::steady_clock::now() > deadline) return sockets;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Every step goes to the keyring and to the in-memory store; after each, both must give the
// same answer for every key.
TEST(DesktopKeyring, KeepsEachSecretApartAndReplacesIt) {
    TKeyringSession session;
    TDesktopKeyring keyring;
    TMemorySecretStore model;
    struct {
        const char* name;
        TSecretKey key;
        std::optional<std::string> secret;  // none: removed
    } const steps[] = {
        {"ann's password", kAnnPassword, "ann-pw"},
        {"ann's token beside it", kAnnToken, "1//refresh-token.ann"},
        {"bob's password, not ASCII", kBobPassword, "p\xC3\xA4ss w\xC3\xB6rd"},
        {"bob's token, any bytes", kBobToken, std::string("a\0b\r\n\xFF", 6)},
        {"ann's password replaced", kAnnPassword, "ann-pw-2"},
        {"ann's token removed", kAnnToken, {}},
        {"removed again", kAnnToken, {}},
        {"bob's token removed", kBobToken, {}},
    };
    for (const auto& step : steps) {
        for (TSecretStore* store : std::initializer_list<TSecretStore*>{&keyring, &model}) {
            if (step.secret)
                store->Store(step.key, *step.secret);
            else
                store->Remove(step.key);
        }
        for (const auto& key : {kAnnPassword, kAnnToken, kBobPassword, kBobToken, kAnnOtherCase}) {
            EXPECT_EQ(keyring.Lookup(key), model.Lookup(key))
                << "after " << step.name << ": " << key.account << " on " << key.server;
        }
        EXPECT_EQ(SocketsLeft(), 0u) << "after " << step.name;
    }
}

// Each call fails with the reason, whatever keeps the keyring away.
TEST(DesktopKeyring, UnavailableKeyringsSayWhy) {
    using TServices = TKeyringSession::TServices;
    TTempDir runtime;
    struct {
        const char* name;
        std::optional<TServices> session;  // else no bus in the runtime folder, no display
        std::optional<std::string> address;
        const char* reason;
    } const rows[] = {
        // Unlocking asks through a prompt that this bus has no one to show; a secret kept
        // there must neither read as missing nor stay behind unseen.
        {"locked", TServices::BusAndKeyring, {}, "it is locked and was not unlocked."},
        // The test program's time limit bounds each call.
        {"a bus without the service",
         TServices::BusOnly,
         {},
         "no keyring service runs on the session bus."},
        {"no bus address", {}, {}, "there is no session bus ("},
        {"not an address", {}, "bogus", "the session bus cannot be reached ("},
        {"nobody listening",
         {},
         "unix:path=" + runtime / "bus",
         "the session bus cannot be reached ("},
    };
    for (const auto& r : rows) {
        std::optional<TKeyringSession> session;
        std::optional<TScopedEnv> xdg, display, address;
        if (r.session) {
            session.emplace(*r.session);
        } else {
            xdg.emplace("XDG_RUNTIME_DIR", runtime.path());
            display.emplace("DISPLAY", std::nullopt);
            address.emplace("DBUS_SESSION_BUS_ADDRESS", r.address);
        }
        if (r.session == TServices::BusAndKeyring) {
            TDesktopKeyring().Store(kAnnPassword, "ann-pw");
            session->LockDefaultCollection();
        }
        TDesktopKeyring keyring;
        const std::function<void()> calls[] = {
            [&] { keyring.Lookup(kAnnPassword); },
            [&] { keyring.Store(kAnnPassword, "ann-pw"); },
            [&] { keyring.Remove(kAnnPassword); },
        };
        for (const auto& call : calls) {
            const std::string text = MessageOf<ESecretStoreUnavailable>(call);
            EXPECT_EQ(text.rfind(kUnavailable + std::string(r.reason), 0), 0u)
                << r.name << ": " << text;
        }
    }
}

}  // namespace
}  // namespace kavrel
