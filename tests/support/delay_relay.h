#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "base/unique_fd.h"

namespace kavrel::test {

// A slow link on loopback: a relay on 127.0.0.1 at a free port that passes every connection on
// to another local port, each direction's bytes delayed by half the round trip. The kernel here
// has no netem, so this is how a benchmark sees a distant server. Its own connect is local, so
// a connect through it is one round trip faster than over a real link. One connection at a
// time; the destructor stops it.
class TDelayRelay {
  public:
    TDelayRelay(int targetPort, int roundTripMs);
    ~TDelayRelay();
    TDelayRelay(const TDelayRelay&) = delete;
    TDelayRelay& operator=(const TDelayRelay&) = delete;

    int Port() const { return port_; }

  private:
    void Run();
    // Passes one direction on until either end closes or the relay stops.
    void Pass(int from, int to);

    int targetPort_;
    int delayMs_;
    int port_ = 0;
    TUniqueFd listener_;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

}  // namespace kavrel::test
