#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kavrel {

// The last reply of a line protocol: "250-a" ... "250 z", "+OK text" or "-ERR text".
class TRFCReply {
  public:
    std::int32_t NumericCode = 0;
    std::string TextCode;
    std::vector<std::string> Text;

    void Clear();
    // Fills the reply from its lines as read (each already trimmed); the first line holds
    // the code.
    void SetReply(const std::vector<std::string>& lines);
    // Every text line followed by CR LF: the message of a refused reply.
    std::string FormattedText() const;
};

}  // namespace kavrel
