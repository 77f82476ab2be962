#include "tests/support/keyring_session.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"

namespace kavrel::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kDbusDaemon = "/usr/bin/dbus-daemon";
constexpr const char* kDbusSend = "/usr/bin/dbus-send";
constexpr const char* kKeyringDaemon = "/usr/bin/gnome-keyring-daemon";
constexpr const char* kUnlockPassword = "kavrel-test-keyring";

// A session bus that allows everything and activates nothing: a name that nobody owns fails
// at once instead of waiting for a service to start.
constexpr const char* kBusConfig = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=@DIR@</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

void Require(const char* program, const char* package) {
    if (::access(program, X_OK) != 0) {
        throw std::runtime_error(std::string(program) + " is not installed: install the Debian " +
                                 "package " + package + " (make deps does)");
    }
}

bool Ended(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == pid; }

// Runs a short command to its end; its exit status and what it wrote.
std::pair<int, std::string> Run(std::vector<std::string> argv) {
    TPipe output;
    const pid_t pid =
        Spawn(std::move(argv), EnvironmentWith(), -1, output.writeEnd.get(), "/dev/null");
    output.writeEnd.reset();
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(output.readEnd.get(), buffer, sizeof buffer)) > 0;)
        text.append(buffer, n);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

}  // namespace

TKeyringSession::TKeyringSession(TServices services) {
    Require(kDbusDaemon, "dbus-daemon");
    Require(kDbusSend, "dbus-bin");
    if (services == TServices::BusAndKeyring) Require(kKeyringDaemon, "gnome-keyring");
    try {
        StartBus();
        if (services == TServices::BusAndKeyring) StartKeyring();
    } catch (...) {
        Stop();
        throw;
    }
    busEnv_.emplace("DBUS_SESSION_BUS_ADDRESS", address_);
}

TKeyringSession::~TKeyringSession() {
    busEnv_.reset();
    Stop();
}

void TKeyringSession::StartBus() {
    std::string config = kBusConfig;
    config.replace(config.find("@DIR@"), 5, dir_.path());
    WriteFile(dir_ / "bus.conf", config);

    TPipe output;
    bus_ = Spawn({kDbusDaemon, "--config-file=" + dir_ / "bus.conf", "--nofork", "--print-address"},
                 EnvironmentWith(), -1, output.writeEnd.get(), dir_ / "daemons.log");
    output.writeEnd.reset();
    // The bus listens before it prints its address.
    std::string text;
    ReadUntil(output.readEnd.get(), "\n", text);
    if (text.find('\n') == std::string::npos) {
        throw std::runtime_error("dbus-daemon did not start: " + ReadFile(dir_ / "daemons.log"));
    }
    address_ = text.substr(0, text.find('\n'));
}

void TKeyringSession::StartKeyring() {
    const std::string home = dir_ / "home";
    const std::string runtime = dir_ / "runtime";
    std::filesystem::create_directories(home);
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    // A fresh home for every keyring file; no display, so no prompt can ever appear.
    auto env = EnvironmentWith({{"DBUS_SESSION_BUS_ADDRESS", address_},
                                {"HOME", home},
                                {"XDG_DATA_HOME", home + "/.local/share"},
                                {"XDG_CONFIG_HOME", home + "/.config"},
                                {"XDG_CACHE_HOME", home + "/.cache"},
                                {"XDG_RUNTIME_DIR", runtime},
                                {"DISPLAY", ""},
                                {"WAYLAND_DISPLAY", ""},
                                {"GNOME_KEYRING_CONTROL", ""}});

    // --unlock reads the password of the login keyring from stdin and creates that keyring,
    // as the default collection, when there is none.
    TPipe input;
    keyring_ = Spawn({kKeyringDaemon, "--foreground", "--components=secrets", "--unlock"},
                     std::move(env), input.readEnd.get(), -1, dir_ / "daemons.log");
    input.readEnd.reset();
    const std::string password = kUnlockPassword;
    const bool written =
        ::write(input.writeEnd.get(), password.data(), password.size()) == ssize_t(password.size());
    input.writeEnd.reset();
    if (!written) throw std::runtime_error("gnome-keyring-daemon did not take its password");

    // Ready once the default collection answers, unlocked.
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    for (;;) {
        const auto [status, reply] =
            Run({kDbusSend, "--bus=" + address_, "--print-reply", "--reply-timeout=2000",
                 "--dest=org.freedesktop.secrets", "/org/freedesktop/secrets/aliases/default",
                 "org.freedesktop.DBus.Properties.Get", "string:org.freedesktop.Secret.Collection",
                 "string:Locked"});
        if (status == 0 && reply.find("boolean false") != std::string::npos) return;
        if (Ended(keyring_)) {
            keyring_ = -1;
            throw std::runtime_error("gnome-keyring-daemon ended at start-up: " +
                                     ReadFile(dir_ / "daemons.log"));
        }
        if (Clock::now() > deadline) {
            throw std::runtime_error("gnome-keyring-daemon did not come up within 15 s: " +
                                     ReadFile(dir_ / "daemons.log"));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void TKeyringSession::LockDefaultCollection() {
    const auto [status, reply] =
        Run({kDbusSend, "--bus=" + address_, "--print-reply", "--reply-timeout=5000",
             "--dest=org.freedesktop.secrets", "/org/freedesktop/secrets",
             "org.freedesktop.Secret.Service.Lock",
             "array:objpath:/org/freedesktop/secrets/aliases/default"});
    if (status != 0) throw std::runtime_error("the keyring did not lock: " + reply);
}

void TKeyringSession::Stop() {
    // The keyring first: it would also end with its bus, but not at once.
    StopChild(keyring_);
    StopChild(bus_);
}

}  // namespace kavrel::test
