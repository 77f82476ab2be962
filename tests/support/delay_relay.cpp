#include "tests/support/delay_relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <stdexcept>
#include <utility>

#include "tests/support/loopback_ports.h"

namespace kavrel::test {
namespace {

using Clock = std::chrono::steady_clock;

TUniqueFd ConnectTo(int port) {
    TUniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (!fd.valid() ||
        ::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        return TUniqueFd();
    }
    return fd;
}

void NoDelay(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

}  // namespace

TDelayRelay::TDelayRelay(int targetPort, int roundTripMs)
    : targetPort_(targetPort), delayMs_(roundTripMs / 2), listener_(BoundLoopbackSocket(port_, 8)) {
    thread_ = std::thread([this] { Run(); });
}

TDelayRelay::~TDelayRelay() {
    stop_ = true;
    thread_.join();
}

void TDelayRelay::Run() {
    while (!stop_) {
        pollfd p{listener_.get(), POLLIN, 0};
        if (::poll(&p, 1, 50) != 1) continue;
        TUniqueFd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        TUniqueFd server = ConnectTo(targetPort_);
        if (!client.valid() || !server.valid()) continue;
        NoDelay(client.get());
        NoDelay(server.get());
        std::thread back([&] { Pass(server.get(), client.get()); });
        Pass(client.get(), server.get());
        back.join();
    }
}

void TDelayRelay::Pass(int from, int to) {
    std::deque<std::pair<Clock::time_point, std::string>> queue;
    bool open = true;
    char buffer[65536];
    while (!stop_ && (open || !queue.empty())) {
        int wait = 50;
        if (!queue.empty()) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(queue.front().first - Clock::now());
            wait = static_cast<int>(std::max<long long>(0, std::min<long long>(left.count(), 50)));
        }
        pollfd p{from, static_cast<short>(open ? POLLIN : 0), 0};
        if (::poll(&p, 1, wait) == 1 && open) {
            const ssize_t n = ::recv(from, buffer, sizeof buffer, 0);
            if (n <= 0) {
                open = false;
            } else {
                queue.emplace_back(Clock::now() + std::chrono::milliseconds(delayMs_),
                                   std::string(buffer, static_cast<std::size_t>(n)));
            }
        }
        while (!queue.empty() && queue.front().first <= Clock::now()) {
            const std::string& bytes = queue.front().second;
            for (std::size_t sent = 0; sent < bytes.size();) {
                const ssize_t m =
                    ::send(to, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
                if (m <= 0) return;
                sent += static_cast<std::size_t>(m);
            }
            queue.pop_front();
        }
    }
    ::shutdown(to, SHUT_WR);
}

}  // namespace kavrel::test
