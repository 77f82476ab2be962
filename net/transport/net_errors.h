#pragma once

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
