#include "tests/support/oauth_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "tests/support/child_process.h"

#include "base/json.h"

namespace kavrel::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kPython = "/usr/bin/python3";
constexpr int kRequestTimeoutMs = 10000;

// Reads what the peer sends until it closes, within the deadline.
std::string ReadToClose(int fd, Clock::time_point deadline) {
    std::string text;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) throw std::runtime_error("the OAuth test server did not answer");
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) throw std::runtime_error("reading from the OAuth test server failed");
        if (n == 0) return text;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

TOAuthServer::TOAuthServer() : TOAuthServer(TOptions{}) {}

TOAuthServer::TOAuthServer(const TOptions& options) {
    if (::access(kPython, X_OK) != 0) {
        throw std::runtime_error("python3 is not installed: install the Debian package python3");
    }
    TPipe output;
    pid_ = Spawn(
        {kPython, "-u", KAVREL_OAUTH_SERVER_SCRIPT, "--interval", std::to_string(options.interval)},
        EnvironmentWith(), -1, output.writeEnd.get());
    output.writeEnd.reset();
    output_.reset(output.readEnd.release());

    // Port 0: python binds a free one and names it: "OAuth test server on 127.0.0.1 port N".
    std::string text;
    port_ = AnnouncedPort(output_.get(), "\n", text);
    if (port_ <= 0) {
        Stop();
        throw std::runtime_error("the OAuth test server did not start: " + text);
    }
}

TOAuthServer::~TOAuthServer() { Stop(); }

void TOAuthServer::Stop() { StopChild(pid_); }

std::string TOAuthServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string TOAuthServer::TAnswer::Header(const std::string& name) const {
    std::size_t start = 0;
    while (start < headers.size()) {
        const std::size_t end = headers.find("\r\n", start);
        const std::string line =
            headers.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (line.size() > name.size() && line[name.size()] == ':' &&
            ::strncasecmp(line.c_str(), name.c_str(), name.size()) == 0) {
            const std::size_t value = line.find_first_not_of(' ', name.size() + 1);
            return value == std::string::npos ? std::string() : line.substr(value);
        }
        if (end == std::string::npos) break;
        start = end + 2;
    }
    return {};
}

TOAuthServer::TAnswer TOAuthServer::Request(const std::string& request) {
    const TUniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port_));
    if (!fd.valid() ||
        ::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot connect to the OAuth test server");
    }
    for (std::size_t sent = 0; sent < request.size();) {
        const ssize_t n =
            ::send(fd.get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) throw std::runtime_error("cannot send to the OAuth test server");
        sent += static_cast<std::size_t>(n);
    }
    // The server closes after every answer.
    const std::string text =
        ReadToClose(fd.get(), Clock::now() + std::chrono::milliseconds(kRequestTimeoutMs));
    TAnswer answer;
    const std::size_t head = text.find("\r\n\r\n");
    const std::size_t firstEnd = text.find("\r\n");
    if (head == std::string::npos || text.rfind("HTTP/1.", 0) != 0) {
        throw std::runtime_error("not an HTTP answer: " + text);
    }
    answer.status = std::atoi(text.c_str() + text.find(' ') + 1);
    answer.headers = text.substr(firstEnd + 2, head + 2 - (firstEnd + 2));
    answer.body = text.substr(head + 4);
    return answer;
}

TOAuthServer::TAnswer TOAuthServer::Get(const std::string& pathAndQuery) {
    return Request("GET " + pathAndQuery + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) +
                   "\r\nConnection: close\r\n\r\n");
}

TOAuthServer::TAnswer TOAuthServer::Post(const std::string& path, const std::string& form) {
    return Request("POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) +
                   "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                   std::to_string(form.size()) + "\r\nConnection: close\r\n\r\n" + form);
}

std::string TOAuthServer::Issue(const std::string& user) {
    // User names in tests are plain words: no form encoding needed.
    const TAnswer answer = Post("/control/issue", "user=" + user);
    const TJSONValue json = ParseJSON(answer.body);
    const TJSONValue* token = json.Find("access_token");
    if (answer.status != 200 || token == nullptr) {
        throw std::runtime_error("the OAuth test server issued no token: " + answer.body);
    }
    return token->AsString();
}

void TOAuthServer::Revoke(const std::string& user) { Post("/control/revoke", "user=" + user); }

void TOAuthServer::ExpireDeviceCodes() { Post("/control/expire_device", ""); }

void TOAuthServer::SetConsent(bool grant) {
    Post("/control/consent", grant ? "grant=yes" : "grant=no");
}

std::map<std::string, int> TOAuthServer::Stats() {
    std::map<std::string, int> counts;
    const TJSONValue json = ParseJSON(Get("/control/stats").body);
    for (const auto& [name, value] : json.Members()) {
        counts[name] = static_cast<int>(value.AsNumber());
    }
    return counts;
}

}  // namespace kavrel::test
