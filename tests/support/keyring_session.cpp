#include "tests/support/keyring_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"

extern char** environ;

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

// This process's environment with some variables replaced or (with an empty value) removed,
// built before the fork so that the child only calls exec.
std::vector<std::string> EnvironmentWith(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (!changes.contains(entry.substr(0, entry.find('=')))) env.push_back(entry);
    }
    for (const auto& [name, value] : changes) {
        if (!value.empty()) env.push_back(name + "=" + value);
    }
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> out;
    for (auto& t : texts) out.push_back(t.data());
    out.push_back(nullptr);
    return out;
}

// Starts program with stdin and stdout on the given descriptors (-1: /dev/null) and stderr
// appended to log. A daemon dies with this process, even when a test crashes.
pid_t Spawn(std::vector<std::string> argv, std::vector<std::string> env, int in, int out,
            const std::string& log) {
    auto args = Pointers(argv);
    auto envp = Pointers(env);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const int err = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        ::dup2(in >= 0 ? in : null, STDIN_FILENO);
        ::dup2(out >= 0 ? out : null, STDOUT_FILENO);
        ::dup2(err >= 0 ? err : null, STDERR_FILENO);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    if (null >= 0) ::close(null);
    if (err >= 0) ::close(err);
    if (pid < 0) throw std::runtime_error("fork failed");
    return pid;
}

bool Ended(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == pid; }

// Runs a short command to its end; its exit status and what it wrote.
std::pair<int, std::string> Run(std::vector<std::string> argv) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    pid_t pid = -1;
    try {
        pid = Spawn(std::move(argv), EnvironmentWith({}), -1, pipeFds[1], "/dev/null");
    } catch (...) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        throw;
    }
    ::close(pipeFds[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    ::close(pipeFds[0]);
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

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    try {
        bus_ = Spawn(
            {kDbusDaemon, "--config-file=" + dir_ / "bus.conf", "--nofork", "--print-address"},
            EnvironmentWith({}), -1, pipeFds[1], dir_ / "daemons.log");
    } catch (...) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        throw;
    }
    ::close(pipeFds[1]);
    // The bus listens before it prints its address.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    std::string text;
    while (text.find('\n') == std::string::npos && Clock::now() < deadline) {
        pollfd p{pipeFds[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char buffer[256];
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
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
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    try {
        keyring_ = Spawn({kKeyringDaemon, "--foreground", "--components=secrets", "--unlock"},
                         std::move(env), pipeFds[0], -1, dir_ / "daemons.log");
    } catch (...) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        throw;
    }
    ::close(pipeFds[0]);
    const std::string password = kUnlockPassword;
    const bool written =
        ::write(pipeFds[1], password.data(), password.size()) == ssize_t(password.size());
    ::close(pipeFds[1]);
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
