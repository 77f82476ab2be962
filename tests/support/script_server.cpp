#include "tests/support/script_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

#include "tests/support/loopback_ports.h"

namespace kavrel::test {
namespace {

using Clock = std::chrono::steady_clock;

std::string Printable(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (static_cast<unsigned char>(c) < 32)
            out += "\\x" + std::to_string(static_cast<unsigned char>(c));
        else
            out += c;
    }
    return out;
}

}  // namespace

TScriptStep Expect(std::string line) { return {TScriptStep::TKind::Expect, std::move(line)}; }
TScriptStep ExpectClosed() { return {TScriptStep::TKind::ExpectClosed, {}}; }
TScriptStep Send(std::string bytes) { return {TScriptStep::TKind::Send, std::move(bytes)}; }
TScriptStep SendLine(std::string line) {
    return {TScriptStep::TKind::Send, std::move(line) + "\r\n"};
}
TScriptStep Stall(int milliseconds) { return {TScriptStep::TKind::Stall, {}, milliseconds}; }
TScriptStep Repeat(std::string bytes, int times, int pauseMs) {
    return {TScriptStep::TKind::Repeat, std::move(bytes), pauseMs, times};
}
TScriptStep Close() { return {TScriptStep::TKind::Close, {}}; }
TScriptStep Reset() { return {TScriptStep::TKind::Reset, {}}; }
TScriptStep Accept() { return {TScriptStep::TKind::Accept, {}}; }

TScriptServer::TScriptServer(std::vector<TScriptStep> script, int stepTimeoutMs)
    : script_(std::move(script)), stepTimeoutMs_(stepTimeoutMs) {
    listener_ = BoundLoopbackSocket(port_, 8);
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe2 failed");
    wakeRead_.reset(wake[0]);
    wakeWrite_.reset(wake[1]);
    thread_ = std::thread([this] { Run(); });
}

TScriptServer::~TScriptServer() {
    const char stop = 'x';
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite_.get(), &stop, 1);
    thread_.join();
}

bool TScriptServer::Finish(int timeoutMs) {
    std::unique_lock<std::mutex> guard(lock_);
    doneChanged_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return done_; });
    if (!done_)
        failures_.push_back("script still running after " + std::to_string(timeoutMs) + " ms");
    return done_ && failures_.empty();
}

std::string TScriptServer::Report() const {
    const std::lock_guard<std::mutex> guard(lock_);
    std::string text;
    for (const auto& f : failures_) text += "fault: " + f + "\n";
    for (const auto& r : received_) text += "client: " + Printable(r) + "\n";
    return text;
}

std::vector<std::string> TScriptServer::Received() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return received_;
}

void TScriptServer::Fail(std::string text) {
    const std::lock_guard<std::mutex> guard(lock_);
    failures_.push_back(std::move(text));
}

void TScriptServer::Run() {
    bool ok = AcceptNext();
    for (std::size_t i = 0; ok && i < script_.size(); ++i) ok = RunStep(script_[i], i + 1);
    // Half-closed, not closed: bytes the client still sends must not turn into a reset.
    if (connection_.valid()) ::shutdown(connection_.get(), SHUT_WR);
    {
        const std::lock_guard<std::mutex> guard(lock_);
        done_ = true;
    }
    doneChanged_.notify_all();
}

bool TScriptServer::RunStep(const TScriptStep& step, std::size_t index) {
    const std::string where = "step " + std::to_string(index) + ": ";
    using K = TScriptStep::TKind;
    switch (step.Kind) {
        case K::Expect: {
            std::string line;
            if (!ReadLine(line)) {
                Fail(where + "expected '" + step.Text + "', got no line: '" + Printable(line) +
                     "'");
                return false;
            }
            if (line != step.Text + "\r\n") {
                Fail(where + "expected '" + step.Text + "\\r\\n', got '" + Printable(line) + "'");
                return false;
            }
            return true;
        }
        case K::ExpectClosed: {
            std::string extra;
            if (!ReadToClose(extra)) {
                Fail(where + "expected the client to close, got '" + Printable(extra) + "'");
                return false;
            }
            return true;
        }
        case K::Send:
            return SendAll(step.Text, where);
        case K::Repeat: {
            // Without a pause, many copies leave in one send: a flood, not a drip of tiny ones.
            const int batch = step.Milliseconds > 0 || step.Text.empty()
                                  ? 1
                                  : std::max<int>(1, 65536 / static_cast<int>(step.Text.size()));
            std::string block;
            for (int i = 0; i < batch; ++i) block += step.Text;
            for (int sent = 0; sent < step.Count; sent += batch) {
                const int copies = std::min(batch, step.Count - sent);
                const std::string_view bytes(block.data(), step.Text.size() * copies);
                if (!SendAll(bytes, where)) return false;
                if (step.Milliseconds > 0 && WaitFor(-1, 0, step.Milliseconds) == TWait::Stopped)
                    return false;
            }
            return true;
        }
        case K::Stall:
            return WaitFor(-1, 0, step.Milliseconds) != TWait::Stopped;
        case K::Close:
            EndConnection(false);
            return true;
        case K::Reset:
            EndConnection(true);
            return true;
        case K::Accept:
            EndConnection(false);
            if (!AcceptNext()) {
                Fail(where + "no further connection");
                return false;
            }
            return true;
    }
    return false;
}

bool TScriptServer::SendAll(std::string_view rest, const std::string& where) {
    while (!rest.empty()) {
        if (WaitFor(connection_.get(), POLLOUT, stepTimeoutMs_) != TWait::Ready) {
            Fail(where + "could not send");
            return false;
        }
        const ssize_t n = ::send(connection_.get(), rest.data(), rest.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Fail(where + "send failed: errno " + std::to_string(errno));
            return false;
        }
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool TScriptServer::AcceptNext() {
    if (WaitFor(listener_.get(), POLLIN, stepTimeoutMs_) != TWait::Ready) {
        Fail("no client connected");
        return false;
    }
    connection_.reset(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    pending_.clear();
    if (!connection_.valid()) {
        Fail("accept failed");
        return false;
    }
    // A reply is often several steps; without this each would wait for the client's delayed
    // acknowledgement, some 40 ms a message.
    const int on = 1;
    ::setsockopt(connection_.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return true;
}

void TScriptServer::EndConnection(bool abortive) {
    if (!connection_.valid()) return;
    if (abortive) {
        const linger now{1, 0};
        ::setsockopt(connection_.get(), SOL_SOCKET, SO_LINGER, &now, sizeof now);
    }
    connection_.reset();
}

bool TScriptServer::ReadLine(std::string& line) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(stepTimeoutMs_);
    for (;;) {
        const std::size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            line = pending_.substr(0, end + 1);
            pending_.erase(0, end + 1);
            std::string bare = line;
            if (bare.ends_with("\r\n")) bare.resize(bare.size() - 2);
            const std::lock_guard<std::mutex> guard(lock_);
            received_.push_back(bare);
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 ||
            WaitFor(connection_.get(), POLLIN, static_cast<int>(left)) != TWait::Ready) {
            line = pending_;
            return false;
        }
        char bytes[4096];
        const ssize_t n = ::recv(connection_.get(), bytes, sizeof bytes, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            line = pending_;
            return false;
        }
        pending_.append(bytes, static_cast<std::size_t>(n));
    }
}

bool TScriptServer::ReadToClose(std::string& extra) {
    extra = pending_;
    pending_.clear();
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(stepTimeoutMs_);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 ||
            WaitFor(connection_.get(), POLLIN, static_cast<int>(left)) != TWait::Ready) {
            return false;
        }
        char bytes[4096];
        const ssize_t n = ::recv(connection_.get(), bytes, sizeof bytes, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n > 0) {
            extra.append(bytes, static_cast<std::size_t>(n));
            continue;
        }
        // A close that comes as a reset is still a close.
        return extra.empty();
    }
}

TScriptServer::TWait TScriptServer::WaitFor(int fd, short events, int timeoutMs) {
    pollfd p[2] = {{wakeRead_.get(), POLLIN, 0}, {fd, events, 0}};
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int ready = ::poll(p, fd >= 0 ? 2 : 1, left > 0 ? static_cast<int>(left) : 0);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return TWait::Stopped;
        if (p[0].revents != 0) return TWait::Stopped;
        if (ready > 0) return TWait::Ready;
        if (left <= 0) return TWait::TimedOut;
    }
}

}  // namespace kavrel::test
