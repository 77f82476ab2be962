#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/net_exception.h"

// Every error the socket transport and the line connection raise. The classes exist so that
// callers can tell a quiet close from a fault; the message text is what the log shows.
namespace kavrel {

// Ends a read without being a fault worth a log line of its own.
class ESilentException : public ENetException {
  public:
    using ENetException::ENetException;
};

class EConnClosedGracefully : public ESilentException {
  public:
    EConnClosedGracefully() : ESilentException("Connection Closed Gracefully.") {}
};

// Carries the socket error code; the message is the code's SocketErrorText.
class ESocketError : public ENetException {
  public:
    ESocketError(std::int32_t code, const std::string& message)
        : ENetException(message), LastError(code) {}
    std::int32_t LastError;
};

class EConnectTimeout : public ENetException {
  public:
    EConnectTimeout() : ENetException("Connect timed out.") {}
};

// A connect with a time-out that failed; the message is the socket error's text.
class EConnectException : public ENetException {
  public:
    using ENetException::ENetException;
};

class EClosedSocket : public ENetException {
  public:
    EClosedSocket() : ENetException("Disconnected.") {}
};

class EInvalidSocket : public ENetException {
  public:
    EInvalidSocket() : ENetException("Cannot allocate socket.") {}
};

class EStackError : public ENetException {
  public:
    using ENetException::ENetException;
};

class EStackInitializationFailed : public EStackError {
  public:
    EStackInitializationFailed() : EStackError("Winsock Initialization Error.") {}
};

// A reply whose code the caller did not allow; the message is the reply's text lines.
class EProtocolReplyError : public ENetException {
  public:
    EProtocolReplyError(std::int32_t code, const std::string& message)
        : ENetException(message), ReplyErrorCode(code) {}
    std::int32_t ReplyErrorCode;
};

class EReadTimeout : public ENetException {
  public:
    EReadTimeout() : ENetException("Read Timeout") {}
};

// A multi-line reply past what the connection holds: maxLines when that was the bound
// crossed, else the byte limit.
class EReplyTooLarge : public ENetException {
  public:
    EReplyTooLarge(std::size_t maxLines, std::size_t maxBytes)
        : ENetException(maxLines > 0
                            ? "The server's reply has more than " + std::to_string(maxLines) +
                                  " lines."
                            : "The server's reply is larger than " + Size(maxBytes) + ".") {}

  private:
    static std::string Size(std::size_t bytes) {
        return bytes >= (std::size_t{1} << 20) ? std::to_string(bytes >> 20) + " MB"
                                               : std::to_string(bytes >> 10) + " KB";
    }
};

// A transfer that stopped moving: fewer than 60 KB in a minute.
class ESlowTransfer : public ENetException {
  public:
    ESlowTransfer() : ENetException("The server sent less than 1 KB per second for 60 seconds.") {}
};

class EAlreadyConnected : public ENetException {
  public:
    EAlreadyConnected() : ENetException("Already connected.") {}
};

class EReadLnMaxLineLengthExceeded : public ENetException {
  public:
    EReadLnMaxLineLengthExceeded() : ENetException("Max line length exceeded.") {}
};

class ETCPConnectionError : public ENetException {
  public:
    using ENetException::ENetException;
};

class ENotConnected : public ETCPConnectionError {
  public:
    ENotConnected() : ETCPConnectionError("Not Connected") {}
};

}  // namespace kavrel
