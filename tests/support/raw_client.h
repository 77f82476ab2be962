#pragma once

#include <string>

#include "base/unique_fd.h"

namespace kavrel::test {

// The plainest possible line client over a loopback socket: no classes of the program under
// test are involved, so it can check a server fixture and measure the protocol's floor.
class TRawClient {
  public:
    explicit TRawClient(int port);  // throws std::runtime_error when it cannot connect

    void SendLine(const std::string& line);  // appends CR LF
    void Send(const std::string& bytes);
    // One line without its CR LF; throws std::runtime_error at the end of the stream or after
    // timeoutMs without data.
    std::string ReadLine(int timeoutMs = 10000);

  private:
    TUniqueFd fd_;
    std::string buffer_;
    std::size_t start_ = 0;
};

}  // namespace kavrel::test
