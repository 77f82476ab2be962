#include "tests/support/pulse_server.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "tests/support/child_process.h"

namespace kavrel::test {
namespace {

constexpr const char* kPulseAudio = "/usr/bin/pulseaudio";

// The socket file appears before the daemon listens on it: ready means a connect succeeds.
bool Accepts(const std::string& socket) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socket.copy(address.sun_path, sizeof address.sun_path - 1);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

void PutLE(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char(value >> (8 * i) & 0xFF);
}

}  // namespace

TPulseServer::TPulseServer() {
    if (::access(kPulseAudio, X_OK) != 0) {
        throw std::runtime_error(
            "pulseaudio is not installed: install the Debian package "
            "pulseaudio (make deps does)");
    }
    const std::string home = dir_ / "home";
    const std::string runtime = dir_ / "runtime";
    std::filesystem::create_directories(home);
    std::filesystem::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    const std::string socket = dir_ / "native";
    address_ = "unix:" + socket;

    // Its chatter is of no use to the tests' output.
    pid_ = Spawn(
        {kPulseAudio, "-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
         "--use-pid-file=no", "--disable-shm=yes", "--log-target=stderr",
         "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket,
         "--load=module-pipe-sink file=" + dir_ / "sink" + " use_system_clock_for_timing=yes"},
        EnvironmentWith(
            {{"HOME", home}, {"XDG_RUNTIME_DIR", runtime}, {"XDG_CONFIG_HOME", home + "/.config"}}),
        -1, -1, "/dev/null");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Accepts(socket)) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("pulseaudio ended at start-up");
        }
        if (std::chrono::steady_clock::now() > deadline) {
            StopChild(pid_);
            throw std::runtime_error("pulseaudio did not come up within 10 s");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::setenv("PULSE_SERVER", address_.c_str(), 1);
}

TPulseServer::~TPulseServer() {
    ::unsetenv("PULSE_SERVER");
    StopChild(pid_);
}

std::string ToneWave(double seconds, int rate) {
    const std::uint32_t frames = std::uint32_t(seconds * rate);
    const std::uint32_t data = frames * 4;
    std::string out = "RIFF";
    PutLE(out, 36 + data, 4);
    out += "WAVEfmt ";
    PutLE(out, 16, 4);
    PutLE(out, 1, 2);  // PCM
    PutLE(out, 2, 2);  // stereo
    PutLE(out, std::uint32_t(rate), 4);
    PutLE(out, std::uint32_t(rate) * 4, 4);
    PutLE(out, 4, 2);
    PutLE(out, 16, 2);
    out += "data";
    PutLE(out, data, 4);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const auto sample = std::int16_t(8000 * std::sin(2 * M_PI * 440 * i / rate));
        PutLE(out, std::uint16_t(sample), 2);
        PutLE(out, std::uint16_t(sample), 2);
    }
    return out;
}

}  // namespace kavrel::test
