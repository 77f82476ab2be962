#include "net/pop3/message_client.h"

namespace kavrel {

void TMessageClient::ReadHeaderLines(TMailMessage& AMsg, const std::string& ADelim) {
    TWorkBracket work(*this, TWorkMode::wkRead, 0);
    for (;;) {
        std::string line = ReadLine();
        if ((ADelim.empty() && line == ".") || line == ADelim) break;
        // Not dot-unstuffed: header lines never begin with a full stop in practice, and a
        // body line before the terminator is kept as it came.
        AMsg.HeaderLines.Add(std::move(line));
    }
    AMsg.FillFromHeaders();
}

}  // namespace kavrel
