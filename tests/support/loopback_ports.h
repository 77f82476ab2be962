#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <stdexcept>

#include "base/unique_fd.h"

namespace kavrel::test {

// A loopback socket bound to a free port; listening with the given backlog when asked.
inline TUniqueFd BoundLoopbackSocket(int& port, int backlog = -1) {
    TUniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (!fd.valid() ||
        ::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (backlog >= 0 && ::listen(fd.get(), backlog) != 0) ||
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("no loopback socket");
    }
    port = ntohs(address.sin_port);
    return fd;
}

// A port that refuses: bound, so nobody else takes it, but not listening, so a connect gets
// a reset at once.
class TRefusingPort {
  public:
    TRefusingPort() : socket_(BoundLoopbackSocket(port_)) {}
    int Port() const { return port_; }

  private:
    int port_ = 0;
    TUniqueFd socket_;
};

// A port whose connects never complete: the listener never accepts and its queue is already
// full, so the kernel drops further SYNs and the client keeps waiting, as for a host that
// does not answer, without leaving the machine.
class TUnansweredPort {
  public:
    TUnansweredPort() : listener_(BoundLoopbackSocket(port_, 0)) {
        // Non-blocking, so that a kernel whose queue is full even sooner cannot stall us here.
        filler_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!filler_.valid()) throw std::runtime_error("could not fill the accept queue");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port_));
        ::connect(filler_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
        pollfd p{filler_.get(), POLLOUT, 0};
        ::poll(&p, 1, 1000);
    }
    int Port() const { return port_; }

  private:
    int port_ = 0;
    TUniqueFd listener_;
    TUniqueFd filler_;
};

}  // namespace kavrel::test
