#include "net/oauth/loopback_redirect.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include "base/integer.h"
#include "net/oauth/form_fields.h"
#include "net/oauth/oauth_errors.h"

namespace kavrel {
namespace {

using Clock = std::chrono::steady_clock;

// Browsers open spare connections they may never use; each is served in turn, and the oldest
// is dropped past this many.
constexpr std::size_t kMaxVisitors = 8;
// A request head larger than this is no browser coming back from a sign-in.
constexpr std::size_t kMaxRequest = 16 * 1024;

struct TVisitor {
    TUniqueFd fd;
    std::string request;
};

void Answer(const TVisitor& visitor, int status, const std::string& text) {
    const char* reason = status == 200 ? "OK" : status == 404 ? "Not Found" : "Bad Request";
    const std::string body = text + "\n";
    const std::string message = "HTTP/1.1 " + IntToStr(status) + " " + reason +
                                "\r\nContent-Type: text/plain; charset=utf-8\r\n"
                                "Content-Length: " +
                                IntToStr(static_cast<std::int64_t>(body.size())) +
                                "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body;
    // A page this small fits the socket's buffer; a browser that is gone loses nothing.
    (void)::send(visitor.fd.get(), message.data(), message.size(), MSG_NOSIGNAL);
    ::shutdown(visitor.fd.get(), SHUT_WR);
}

// Ends the sign-in: the browser is told, then the log.
[[noreturn]] void Fail(const TVisitor& visitor, const std::string& page, const std::string& log) {
    Answer(visitor, 400, "Kavrel could not sign in: " + page + " You can close this page.");
    throw EOAuthError(log);
}

// The code when the request is the sign-in's answer; nothing when it is some other request,
// which has been answered.
std::optional<std::string> Serve(const TVisitor& visitor, const std::string& state) {
    const std::string line = visitor.request.substr(0, visitor.request.find_first_of("\r\n"));
    const std::size_t space = line.find(' ');
    const std::size_t end = line.find(' ', space + 1);
    const std::string target =
        space == std::string::npos ? "" : line.substr(space + 1, end - space - 1);
    const std::size_t question = target.find('?');
    const std::string path = target.substr(0, question);
    const TFormFields query =
        question == std::string::npos ? TFormFields{} : ParseForm(target.substr(question + 1));
    const auto error = FieldValue(query, "error");
    const auto code = FieldValue(query, "code");
    if (!line.starts_with("GET ") || path != "/" || (!error && !code)) {
        Answer(visitor, 404, "Not found.");
        return std::nullopt;
    }
    if (error) {
        // Error codes are ASCII (RFC 6749 4.1.2.1); anything else is not repeated.
        std::string name;
        for (const char c : *error)
            if (c >= 0x20 && c < 0x7F) name += c;
        if (name == "access_denied") {
            Fail(visitor, "the sign-in was cancelled or refused.",
                 "OAuth: the sign-in was cancelled or refused in the browser.");
        }
        Fail(visitor, "the provider answered " + name + ".",
             "OAuth: the provider refused the sign-in: " + name + ".");
    }
    if (FieldValue(query, "state") != state) {
        Fail(visitor, "this page belongs to another sign-in.",
             "OAuth: the browser came back from another sign-in than this one: sign in again.");
    }
    if (code->empty()) {
        Fail(visitor, "the provider sent no code.",
             "OAuth: the provider sent the browser back without a code.");
    }
    Answer(visitor, 200, "Kavrel is signed in. You can close this page.");
    return code;
}

}  // namespace

TLoopbackRedirect::TLoopbackRedirect() {
    listener_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (!listener_.valid() ||
        ::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_.get(), 16) != 0 ||
        ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw EOAuthError("OAuth: no port on this computer is free for the browser's answer.");
    }
    port_ = ntohs(address.sin_port);
}

std::string TLoopbackRedirect::RedirectUri() const {
    return "http://127.0.0.1:" + IntToStr(port_) + "/";
}

std::string TLoopbackRedirect::Wait(const std::string& state, std::chrono::milliseconds timeout,
                                    const TOAuthWaitHook& hook) {
    const Clock::time_point deadline = Clock::now() + timeout;
    std::vector<TVisitor> visitors;
    for (;;) {
        if (hook) hook();
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            throw EOAuthError(
                "OAuth: the browser did not come back from the sign-in in time: sign in again.");
        }
        std::vector<pollfd> fds{{listener_.get(), POLLIN, 0}};
        for (const TVisitor& visitor : visitors) fds.push_back({visitor.fd.get(), POLLIN, 0});
        const auto slice = std::min<Clock::duration>(deadline - now, kOAuthWaitSlice);
        const int ms =
            static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(slice).count());
        if (::poll(fds.data(), fds.size(), ms) <= 0) continue;

        std::vector<bool> done(visitors.size(), false);
        for (std::size_t i = 0; i < visitors.size(); ++i) {
            if (fds[i + 1].revents == 0) continue;
            TVisitor& visitor = visitors[i];
            char buffer[4096];
            const ssize_t got = ::recv(visitor.fd.get(), buffer, sizeof buffer, 0);
            if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (got <= 0) {
                done[i] = true;
                continue;
            }
            visitor.request.append(buffer, static_cast<std::size_t>(got));
            if (visitor.request.find("\r\n\r\n") == std::string::npos &&
                visitor.request.find("\n\n") == std::string::npos) {
                if (visitor.request.size() > kMaxRequest) {
                    Answer(visitor, 400, "Request too large.");
                    done[i] = true;
                }
                continue;
            }
            if (auto code = Serve(visitor, state)) return *code;
            done[i] = true;
        }
        for (std::size_t i = visitors.size(); i-- > 0;)
            if (done[i]) visitors.erase(visitors.begin() + static_cast<std::ptrdiff_t>(i));

        if (fds[0].revents != 0) {
            TUniqueFd fd(
                ::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            if (fd.valid()) {
                visitors.push_back({std::move(fd), {}});
                if (visitors.size() > kMaxVisitors) visitors.erase(visitors.begin());
            }
        }
    }
}

}  // namespace kavrel
