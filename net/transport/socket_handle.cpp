#include "net/transport/socket_handle.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "net/transport/net_component.h"
#include "net/transport/socket_stack.h"

namespace kavrel {
namespace {

using Clock = std::chrono::steady_clock;

bool SetFdBlocking(int fd, bool blocking) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) return false;
    const int wanted = blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK;
    return ::fcntl(fd, F_SETFL, wanted) == 0;
}

void Describe(const sockaddr_in& a, std::string& ip, int& port) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    ip = text;
    port = ntohs(a.sin_port);
}

std::int32_t SocketErrorCode(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    return error == 0 ? 0 : TSocketStack::CodeFromErrno(error);
}

}  // namespace

bool TSocketHandle::Allocate() {
    Reset();
    socket_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return socket_.valid();
}

void TSocketHandle::Reset() {
    socket_.reset();
    IP.clear();
    Port = 0;
    RemoteIP.clear();
    RemotePort = 0;
}

void TSocketHandle::CloseSocket() {
    if (!socket_.valid()) return;
    ::shutdown(socket_.get(), SHUT_WR);
    socket_.reset();
}

std::int32_t TSocketHandle::Connect(std::uint32_t address, int port, int timeoutMs,
                                    const std::function<void()>& step) {
    // The port field has 16 bits; a larger number would quietly reach some other port.
    if (port < 0 || port > 65535) return TSocketStack::CodeFromErrno(EADDRNOTAVAIL);
    const int fd = socket_.get();
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(address);
    target.sin_port = htons(static_cast<std::uint16_t>(port));

    // Always non-blocking underneath: a time-out needs it, and a signal during a blocking
    // connect would leave the socket in an undefined half-way state.
    if (!SetFdBlocking(fd, false)) return TSocketStack::CodeFromErrno(errno);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0 &&
        errno != EINPROGRESS && errno != EINTR) {
        return TSocketStack::CodeFromErrno(errno);
    }
    const bool limited = timeoutMs != TimeoutInfinite;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int wait = ConnectPollStep;
        if (limited) {
            const int left = MillisecondsLeft(deadline);
            if (left == 0) return -1;
            if (left < wait) wait = left;
        }
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, wait);
        if (ready < 0 && errno != EINTR) return TSocketStack::CodeFromErrno(errno);
        if (ready > 0) break;
        if (step) step();
    }
    if (const std::int32_t code = SocketErrorCode(fd)) return code;
    if (!SetFdBlocking(fd, true)) return TSocketStack::CodeFromErrno(errno);
    // Commands are short and often written ahead in pieces as the socket takes them: none of
    // them may wait for the acknowledgement of the one before.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return 0;
}

void TSocketHandle::UpdateBindings() {
    sockaddr_in local{};
    sockaddr_in remote{};
    socklen_t localLength = sizeof local;
    socklen_t remoteLength = sizeof remote;
    TSocketStack& stack = TSocketStack::Instance();
    stack.CheckSocketResult(
        ::getsockname(socket_.get(), reinterpret_cast<sockaddr*>(&local), &localLength), {});
    stack.CheckSocketResult(
        ::getpeername(socket_.get(), reinterpret_cast<sockaddr*>(&remote), &remoteLength), {});
    Describe(local, IP, Port);
    Describe(remote, RemoteIP, RemotePort);
}

int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

bool TSocketHandle::SetBlocking(bool blocking) { return SetFdBlocking(socket_.get(), blocking); }

bool TSocketHandle::Wait(bool forWrite, int timeoutMs) {
    const bool limited = timeoutMs >= 0;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(limited ? timeoutMs : 0);
    for (;;) {
        pollfd p{socket_.get(), static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
        const int ready = ::poll(&p, 1, limited ? MillisecondsLeft(deadline) : -1);
        if (ready == 1) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

int TSocketHandle::Receive(char* buffer, int length) {
    for (;;) {
        const ssize_t n = ::recv(socket_.get(), buffer, static_cast<std::size_t>(length), 0);
        if (n >= 0 || errno != EINTR) return static_cast<int>(n);
    }
}

int TSocketHandle::TrySend(const char* buffer, int length) {
    for (;;) {
        const ssize_t n = ::send(socket_.get(), buffer, static_cast<std::size_t>(length),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) return static_cast<int>(n);
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        if (errno != EINTR) return -1;
    }
}

int TSocketHandle::WaitEither(int timeoutMs) {
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        pollfd p{socket_.get(), POLLIN | POLLOUT, 0};
        const int ready = ::poll(&p, 1, timeoutMs < 0 ? -1 : MillisecondsLeft(deadline));
        if (ready == 1) {
            // A closed or failed socket counts as input: the read that follows finds out.
            return ((p.revents & (POLLIN | POLLHUP | POLLERR)) ? 1 : 0) |
                   ((p.revents & POLLOUT) ? 2 : 0);
        }
        if (ready == 0 || errno != EINTR) return 0;
    }
}

int TSocketHandle::Send(const char* buffer, int length) {
    for (;;) {
        const ssize_t n =
            ::send(socket_.get(), buffer, static_cast<std::size_t>(length), MSG_NOSIGNAL);
        if (n >= 0 || errno != EINTR) return static_cast<int>(n);
    }
}

}  // namespace kavrel
