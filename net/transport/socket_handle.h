#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "base/unique_fd.h"

namespace kavrel {

// How often a connect looks at its socket and calls its step; a refusal is seen within one
// step.
inline constexpr int ConnectPollStep = 100;

// Milliseconds left until deadline, rounded up so that a wait never ends early.
int MillisecondsLeft(std::chrono::steady_clock::time_point deadline);

// One TCP/IPv4 socket and the addresses at both of its ends.
class TSocketHandle {
  public:
    // The local end, known after a connect.
    std::string IP;
    int Port = 0;
    // The target before a connect, the platform's view of the peer after it.
    std::string RemoteIP;
    int RemotePort = 0;

    bool IsOpen() const { return socket_.valid(); }
    int Handle() const { return socket_.get(); }

    // A new stream socket, closed in every child process; false when the platform has none.
    bool Allocate();
    // Closes the socket without a shutdown and empties the address fields.
    void Reset();
    // Shuts down the sending direction and closes; results ignored, as the peer may be gone.
    void CloseSocket();

    // Connects to address (host byte order) and port. Waits at most timeoutMs, or without
    // limit for TimeoutInfinite, in steps of ConnectPollStep, calling step after each (it may
    // raise to give up). Gives 0 when connected, -1 when the time ran out, else the socket
    // error code.
    std::int32_t Connect(std::uint32_t address, int port, int timeoutMs,
                         const std::function<void()>& step = {});
    // Reads back both ends of a connected socket; raises ESocketError.
    void UpdateBindings();

    // True when input (or a close) is waiting; W as in the read time-outs.
    bool WaitReadable(int timeoutMs) { return Wait(false, timeoutMs); }
    // The same for room to send when forWrite.
    bool Wait(bool forWrite, int timeoutMs);
    bool SetBlocking(bool blocking);
    // One receive or send, raw result; a signal does not count as an error, and a send to
    // a vanished peer fails with EPIPE instead of raising SIGPIPE.
    int Receive(char* buffer, int length);
    int Send(const char* buffer, int length);
    // A send that never waits: the bytes taken, 0 when there is no room now, -1 with errno.
    int TrySend(const char* buffer, int length);
    // Waits for input (1), room to send (2) or both (3); 0 when the time ran out.
    int WaitEither(int timeoutMs);

  private:
    TUniqueFd socket_;
};

}  // namespace kavrel
