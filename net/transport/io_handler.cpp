#include "net/transport/io_handler.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "base/strings.h"
#include "net/transport/net_errors.h"
#include "net/transport/socket_stack.h"

namespace kavrel {
namespace {

using Clock = std::chrono::steady_clock;

struct TLookup {
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    std::int32_t code = 0;
    std::string address;
};

// The platform's lookup cannot be interrupted, so it runs on a thread of its own while the
// caller waits in steps; a caller that gives up (its time ran out, or its step raised) leaves
// the thread behind, and the thread's result goes nowhere. Gives the socket error code.
std::int32_t ResolveWhileAnswering(const std::string& host, std::string& address, bool limited,
                                   Clock::time_point deadline, const std::function<void()>& step) {
    const auto lookup = std::make_shared<TLookup>();
    try {
        std::thread([lookup, host] {
            std::string found;
            const std::int32_t code = TSocketStack::ResolveName(host, found);
            const std::lock_guard hold(lookup->lock);
            lookup->code = code;
            lookup->address = std::move(found);
            lookup->done = true;
            lookup->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return TSocketStack::ResolveName(host, address);  // no thread to be had: wait here
    }
    std::unique_lock hold(lookup->lock);
    for (;;) {
        auto wait = std::chrono::milliseconds(TNetComponent::kWaitingStepMs);
        if (limited) {
            const int left = MillisecondsLeft(deadline);
            if (left == 0) throw EConnectTimeout();
            wait = std::min(wait, std::chrono::milliseconds(left));
        }
        if (lookup->finished.wait_for(hold, wait, [&] { return lookup->done; })) break;
        if (step) {
            hold.unlock();
            step();
            hold.lock();
        }
    }
    address = lookup->address;
    return lookup->code;
}

}  // namespace

void TIOHandlerSocket::Open() {
    TIOHandler::Open();
    if (Binding)
        Binding->Reset();
    else
        Binding = std::make_unique<TSocketHandle>();
}

void TIOHandlerSocket::Close() {
    TIOHandler::Close();
    if (Binding) Binding->CloseSocket();
}

void TIOHandlerSocket::ConnectTo(const std::string& host, int port, int timeoutMs) {
    if (!Binding) Binding = std::make_unique<TSocketHandle>();
    if (!Binding->Allocate()) throw EInvalidSocket();

    // One time-out for the lookup and the connect together: the user waits for both.
    const bool limited = timeoutMs > 0;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(limited ? timeoutMs : 0);
    const std::function<void()> step = [this] {
        if (OnWaiting) OnWaiting(*this);
    };
    TSocketStack& stack = TSocketStack::Instance();
    std::string address = host;
    if (!TSocketStack::IsIPLiteral(host)) {
        ReportStatus(TNetStatus::stResolving, host);
        if (SameText(host, "LOCALHOST") || host.empty()) {
            address = stack.LookupHost(host);
        } else if (const std::int32_t code =
                       ResolveWhileAnswering(host, address, limited, deadline, step)) {
            stack.RaiseSocketError(code);
        }
    }
    Binding->RemoteIP = address;
    Binding->RemotePort = port;
    ReportStatus(TNetStatus::stConnecting, Binding->RemoteIP);

    // LookupHost hands literals back unchanged, so the bytes come from our own reading of the
    // literal: the platform's parser would take "010" as octal.
    const auto parsed = TSocketStack::ParseIPLiteral(address);
    if (!parsed) stack.RaiseSocketError(socket_code::HostNotFound);

    if (timeoutMs == TimeoutDefault || timeoutMs == 0) {
        const std::int32_t code = Binding->Connect(*parsed, port, TimeoutInfinite, step);
        if (code != 0) stack.RaiseSocketError(code);
    } else {
        const int left = limited ? std::max(MillisecondsLeft(deadline), 1) : TimeoutInfinite;
        const std::int32_t code = Binding->Connect(*parsed, port, left, step);
        if (code == -1) {
            Close();
            throw EConnectTimeout();
        }
        if (code != 0) {
            // Reported as a connect failure carrying the socket error's text.
            try {
                stack.RaiseSocketError(code);
            } catch (const ESocketError& e) {
                throw EConnectException(e.what());
            }
        }
    }
    Binding->UpdateBindings();
}

bool TIOHandlerSocket::WaitReadable(int timeoutMs) {
    if (!IsOpen()) throw EConnClosedGracefully();
    return Binding->WaitReadable(timeoutMs);
}

int TIOHandlerSocket::Receive(char* buffer, int length) {
    if (!IsOpen()) throw EClosedSocket();
    return Binding->Receive(buffer, length);
}

int TIOHandlerSocket::TrySend(const char* buffer, int length) {
    if (!IsOpen()) throw EClosedSocket();
    return Binding->TrySend(buffer, length);
}

int TIOHandlerSocket::WaitEither(int timeoutMs) {
    if (!IsOpen()) throw EConnClosedGracefully();
    return Binding->WaitEither(timeoutMs);
}

int TIOHandlerSocket::Send(const char* buffer, int length) {
    if (!IsOpen()) throw EClosedSocket();
    return Binding->Send(buffer, length);
}

}  // namespace kavrel
