#include "tests/support/tap_relay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "tests/support/loopback_ports.h"

namespace kavrel::test {

TTapRelay::TTapRelay(int targetPort) : targetPort_(targetPort) {
    listener_ = BoundLoopbackSocket(port_, 8);
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe2 failed");
    wakeRead_ = TUniqueFd(wake[0]);
    wakeWrite_ = TUniqueFd(wake[1]);
    thread_ = std::thread([this] { Run(); });
}

TTapRelay::~TTapRelay() {
    const char stop = 'x';
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite_.get(), &stop, 1);
    thread_.join();
}

std::string TTapRelay::ClientBytes() const {
    const std::lock_guard lock(mutex_);
    return clientBytes_;
}

void TTapRelay::Run() {
    for (;;) {
        pollfd p[2] = {{listener_.get(), POLLIN, 0}, {wakeRead_.get(), POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) continue;
        if (p[1].revents) return;
        const TUniqueFd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (client.valid()) Relay(client.get());
        char drained;
        if (::read(wakeRead_.get(), &drained, 1) == 1) return;
    }
}

void TTapRelay::Relay(int client) {
    const TUniqueFd server(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(targetPort_));
    if (!server.valid() ||
        ::connect(server.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return;
    char buffer[16384];
    bool held = false;
    for (;;) {
        pollfd p[3] = {
            {client, POLLIN, 0}, {server.get(), POLLIN, 0}, {wakeRead_.get(), POLLIN, 0}};
        if (::poll(p, 3, -1) < 0) continue;
        if (p[2].revents) return;
        for (int side = 0; side < 2; ++side) {
            if (!p[side].revents) continue;
            const ssize_t n = ::recv(p[side].fd, buffer, sizeof buffer, 0);
            if (n <= 0) return;
            if (side == 0) {
                const std::lock_guard lock(mutex_);
                clientBytes_.append(buffer, static_cast<std::size_t>(n));
            }
            const int to = side == 0 ? server.get() : client;
            ssize_t end = n;
            if (side == 1 && StripSTLS) {
                std::string passed(buffer, static_cast<std::size_t>(n));
                for (auto at = passed.find("\r\nSTLS\r\n"); at != std::string::npos;
                     at = passed.find("\r\nSTLS\r\n"))
                    passed.erase(at, 6);
                end = static_cast<ssize_t>(passed.size());
                passed.copy(buffer, passed.size());
            }
            if (side == 1 && Hold) {
                if (held) continue;
                held = true;
                end = std::min<ssize_t>(n, 3);
            }
            const ssize_t piece = side == 1 && Trickle > 0 ? Trickle.load() : end;
            for (ssize_t sent = 0; sent < end;) {
                const ssize_t m =
                    ::send(to, buffer + sent, static_cast<std::size_t>(std::min(piece, end - sent)),
                           MSG_NOSIGNAL);
                if (m <= 0) return;
                sent += m;
                if (piece < end) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }
}

}  // namespace kavrel::test
