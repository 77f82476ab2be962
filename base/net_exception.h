#pragma once

#include <stdexcept>
#include <string>

namespace kavrel {

// Base of every error the network layer raises. The message text is the whole interface to
// the log: callers write it unchanged.
class ENetException : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace kavrel
