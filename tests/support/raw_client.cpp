#include "tests/support/raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <stdexcept>

namespace kavrel::test {

TRawClient::TRawClient(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!fd_.valid() ||
        ::connect(fd_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        throw std::runtime_error("cannot connect to 127.0.0.1:" + std::to_string(port));
    }
}

void TRawClient::SendLine(const std::string& line) { Send(line + "\r\n"); }

void TRawClient::Send(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd_.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) throw std::runtime_error("send failed");
        sent += static_cast<std::size_t>(n);
    }
}

std::string TRawClient::ReadLine(int timeoutMs) {
    for (;;) {
        const auto lf = buffer_.find('\n', start_);
        if (lf != std::string::npos) {
            std::size_t end = lf;
            if (end > start_ && buffer_[end - 1] == '\r') --end;
            std::string line = buffer_.substr(start_, end - start_);
            start_ = lf + 1;
            if (start_ > 65536) {
                buffer_.erase(0, start_);
                start_ = 0;
            }
            return line;
        }
        pollfd p{fd_.get(), POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) != 1) throw std::runtime_error("no reply in time");
        char chunk[65536];
        const ssize_t n = ::recv(fd_.get(), chunk, sizeof chunk, 0);
        if (n <= 0) throw std::runtime_error("connection closed");
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

}  // namespace kavrel::test
