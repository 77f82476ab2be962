#include "desktop/keyring.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
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
    enum TOp { Store, Remove };
    struct {
        const char* name;
        TOp op;
        TSecretKey key;
        std::string secret;
    } const steps[] = {
        {"ann's password", Store, kAnnPassword, "ann-pw"},
        {"ann's token beside it", Store, kAnnToken, "1//refresh-token.ann"},
        {"bob's password, not ASCII", Store, kBobPassword, "p\xC3\xA4ss w\xC3\xB6rd"},
        {"bob's token, any bytes", Store, kBobToken, std::string("a\0b\r\n\xFF", 6)},
        {"ann's password replaced", Store, kAnnPassword, "ann-pw-2"},
        {"ann's token removed", Remove, kAnnToken, ""},
        {"removed again", Remove, kAnnToken, ""},
        {"bob's token removed", Remove, kBobToken, ""},
    };
    for (const auto& step : steps) {
        for (TSecretStore* store :
             {static_cast<TSecretStore*>(&keyring), static_cast<TSecretStore*>(&model)}) {
            if (step.op == Store)
                store->Store(step.key, step.secret);
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

void ExpectUnavailable(const std::string& reason, const char* row) {
    TDesktopKeyring keyring;
    const std::function<void()> calls[] = {
        [&] { keyring.Lookup(kAnnPassword); },
        [&] { keyring.Store(kAnnPassword, "ann-pw"); },
        [&] { keyring.Remove(kAnnPassword); },
    };
    for (const auto& call : calls) {
        const std::string text = MessageOf<ESecretStoreUnavailable>(call);
        EXPECT_EQ(text.rfind(kUnavailable + reason, 0), 0u) << row << ": " << text;
    }
}

// A locked collection is unlocked through a prompt; this bus has no one to show it, so the
// prompt fails, and a secret kept there must neither read as missing nor stay behind unseen.
TEST(DesktopKeyring, LockedCollectionThatStaysLocked) {
    TKeyringSession session;
    TDesktopKeyring().Store(kAnnPassword, "ann-pw");
    session.LockDefaultCollection();
    ExpectUnavailable("it is locked and was not unlocked.", "locked");
}

// A desktop whose bus has no keyring: the test program's time limit bounds each call.
TEST(DesktopKeyring, BusWithoutSecretService) {
    TKeyringSession bus(TKeyringSession::TServices::BusOnly);
    ExpectUnavailable("no keyring service runs on the session bus.", "bus only");
}

TEST(DesktopKeyring, NoSessionBus) {
    // Nothing to fall back on: no bus in the runtime folder, no display to start one for.
    TTempDir runtime;
    TScopedEnv xdg("XDG_RUNTIME_DIR", runtime.path());
    TScopedEnv display("DISPLAY", std::nullopt);
    struct {
        const char* name;
        std::optional<std::string> address;
        const char* reason;
    } const rows[] = {
        {"unset", std::nullopt, "there is no session bus ("},
        {"not an address", "bogus", "the session bus cannot be reached ("},
        {"nobody listening", "unix:path=" + runtime / "bus", "the session bus cannot be reached ("},
    };
    for (const auto& row : rows) {
        TScopedEnv address("DBUS_SESSION_BUS_ADDRESS", row.address);
        ExpectUnavailable(row.reason, row.name);
    }
}

}  // namespace
}  // namespace kavrel
