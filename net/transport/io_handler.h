#pragma once

#include <memory>
#include <string>

#include "net/transport/net_component.h"
#include "net/transport/socket_handle.h"

namespace kavrel {

// The byte carrier under a connection.
class TIOHandler : public TNetComponent {
  public:
    bool Active() const { return active_; }

    virtual void Open() { active_ = true; }
    virtual void Close() { active_ = false; }
    virtual bool IsOpen() const = 0;
    virtual void ConnectTo(const std::string& host, int port, int timeoutMs) = 0;
    virtual bool WaitReadable(int timeoutMs) = 0;
    // Raw results: a byte count, 0 for an orderly close on receive, -1 with errno set.
    virtual int Receive(char* buffer, int length) = 0;
    virtual int Send(const char* buffer, int length) = 0;
    // A send that never waits: the bytes taken, 0 when there is no room now, -1 with errno.
    // A carrier that cannot tell takes them all, waiting as Send does.
    virtual int TrySend(const char* buffer, int length) { return Send(buffer, length); }
    // Waits for input (1), room to send (2) or both (3); 0 when the time ran out.
    virtual int WaitEither(int timeoutMs) { return WaitReadable(timeoutMs) ? 1 : 0; }

  private:
    bool active_ = false;
};

// The carrier over one TCP socket.
class TIOHandlerSocket : public TIOHandler {
  public:
    void Open() override;
    void Close() override;
    bool IsOpen() const override { return Binding && Binding->IsOpen(); }
    void ConnectTo(const std::string& host, int port, int timeoutMs) override;
    bool WaitReadable(int timeoutMs) override;
    int Receive(char* buffer, int length) override;
    int Send(const char* buffer, int length) override;
    int TrySend(const char* buffer, int length) override;
    int WaitEither(int timeoutMs) override;

    std::unique_ptr<TSocketHandle> Binding;
};

}  // namespace kavrel
