#pragma once

#include <string>

#include "net/tcp_connection.h"

namespace kavrel {

// A connection that knows its target. Protocol sessions derive from it.
class TTCPClient : public TTCPConnection {
  public:
    std::string Host;
    int Port = 0;
    TNotifyEvent OnConnected;

    // ATimeout: TimeoutDefault or 0 waits as long as the platform does; a positive count of
    // milliseconds or TimeoutInfinite waits that long.
    virtual void Connect(int ATimeout = TimeoutDefault);
};

}  // namespace kavrel
