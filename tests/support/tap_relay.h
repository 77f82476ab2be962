#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "base/unique_fd.h"

namespace kavrel::test {

// A relay on 127.0.0.1 at a free port that passes every connection on to another local port
// and keeps what the clients sent, as a capture on the wire would see it. One connection at
// a time; the destructor stops it at once.
class TTapRelay {
  public:
    explicit TTapRelay(int targetPort);
    ~TTapRelay();
    TTapRelay(const TTapRelay&) = delete;
    TTapRelay& operator=(const TTapRelay&) = delete;

    int Port() const { return port_; }
    // Every byte the clients sent so far, all connections together.
    std::string ClientBytes() const;

    // Bytes from the server pass in pieces of this many with a millisecond between them
    // (0: as they come).
    std::atomic<int> Trickle = 0;
    // Once set, only the first three bytes of what the server sends next pass and nothing
    // after them, as from a server that stalls in the middle of a TLS record.
    std::atomic<bool> Hold = false;
    // Takes the line "STLS" out of what the server sends, as a man in the middle who wants the
    // password in clear would.
    std::atomic<bool> StripSTLS = false;

  private:
    void Run();
    // Passes one connection on until either end closes or the relay stops.
    void Relay(int client);

    int targetPort_;
    int port_ = 0;
    TUniqueFd listener_;
    TUniqueFd wakeRead_;
    TUniqueFd wakeWrite_;
    mutable std::mutex mutex_;
    std::string clientBytes_;
    std::thread thread_;
};

}  // namespace kavrel::test
