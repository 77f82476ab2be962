#pragma once

#include <cstdint>
#include <string>

#include "net/transport/net_errors.h"

// The errors of the HTTP client beyond those of the connection below it.
namespace kavrel {

// A status the client does not accept; the message is the status line as received.
class EHTTPProtocolException : public EProtocolReplyError {
  public:
    EHTTPProtocolException(std::int32_t code, const std::string& statusLine, std::string body)
        : EProtocolReplyError(code, statusLine), ErrorMessage(std::move(body)) {}
    // The body that came with the status.
    std::string ErrorMessage;
};

// An address with neither a port nor a protocol whose port is known.
class EUnknownProtocol : public ENetException {
  public:
    EUnknownProtocol() : ENetException("") {}
};

}  // namespace kavrel
