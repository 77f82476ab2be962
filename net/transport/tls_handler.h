#pragma once

#include <memory>
#include <string>

#include "base/net_exception.h"
#include "net/transport/io_handler.h"

namespace kavrel {

// A TLS failure: the handshake, the certificate or the record layer. The text starts with
// "TLS: " and says what went wrong in OpenSSL's words.
class ETLSError : public ENetException {
  public:
    using ENetException::ENetException;
};

enum class THandshakeStep { hsDone, hsWantRead, hsWantWrite };

// A socket carrier that speaks plain TCP until BeginHandshake and TLS from then on. The server's
// certificate is checked against the system's trusted authorities (SSL_CERT_FILE and
// SSL_CERT_DIR point elsewhere) and must name the host; there is no way back to plain text.
// TTCPConnection::StartTLS drives the handshake.
class TIOHandlerTLS : public TIOHandlerSocket {
  public:
    TIOHandlerTLS();
    ~TIOHandlerTLS() override;

    void Open() override;
    void Close() override;
    bool WaitReadable(int timeoutMs) override;
    int Receive(char* buffer, int length) override;
    int Send(const char* buffer, int length) override;
    int TrySend(const char* buffer, int length) override;
    int WaitEither(int timeoutMs) override;

    bool TLSActive() const;

    // Sets TLS up over the connected socket, the name sent as SNI (an IP literal is checked
    // as an address instead); raises ETLSError.
    void BeginHandshake(const std::string& serverName);
    // Takes the handshake as far as the bytes at hand allow: done, or which way the socket
    // must become ready first. Raises ETLSError, with the certificate's fault when it has one.
    THandshakeStep ContinueHandshake();
    bool WaitWritable(int timeoutMs) { return Binding->Wait(true, timeoutMs); }

  private:
    struct TSession;
    // Drops the TLS state and whatever it had read.
    void Forget();
    // Reads what has arrived into the plain-text buffer; false when more must arrive first.
    bool ReadAvailable();

    std::unique_ptr<TSession> session_;
    std::string plain_;
    std::size_t plainPos_ = 0;
    bool peerClosed_ = false;
    int receiveErrno_ = 0;
    // The length of a write the record layer could not finish: it must be asked again with
    // the same bytes.
    int retryLength_ = 0;

    // One SSL_write: the bytes taken, 0 when the socket must be ready first (wantWrite tells
    // which way), -1 with errno; raises ETLSError.
    int WriteOnce(const char* buffer, int length, bool& wantWrite);
};

}  // namespace kavrel
