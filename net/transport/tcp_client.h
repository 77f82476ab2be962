#pragma once

#include <string>

#include "net/transport/tcp_connection.h"

namespace kavrel {

// A connection that knows its target. Protocol sessions derive from it.
class TTCPClient : public TTCPConnection {
  public:
    std::string Host;
    int Port = 0;
    TNotifyEvent OnConnected;
    // TLS from the first byte, the certificate checked against Host.
    bool UseTLS = false;

    // ATimeout: TimeoutDefault or 0 waits as long as the platform does; a positive count of
    // milliseconds or TimeoutInfinite waits that long.
    virtual void Connect(int ATimeout = TimeoutDefault);
    // The TLS handshake of an open connection, checked against Host.
    using TTCPConnection::StartTLS;
    void StartTLS() { StartTLS(Host); }
};

}  // namespace kavrel
