#include "net/pop3/message_client.h"

namespace kavrel {

void TMessageClient::ReadHeaderLines(TMailMessage& AMsg, const std::string& ADelim,
                                     TMailMessage::TFields AFields) {
    const TReplyScope reply(*this);
    TWorkBracket work(*this, TWorkMode::wkRead, 0);
    std::size_t bytes = 0;
    for (;;) {
        std::string line = ReadLine();
        if ((ADelim.empty() && line == ".") || line == ADelim) break;
        bytes += line.size();
        // Not dot-unstuffed: header lines never begin with a full stop in practice, and a
        // body line before the terminator is kept as it came.
        if (bytes <= MaxHeaderBytes) AMsg.HeaderLines.Add(std::move(line));
    }
    AMsg.FillFromHeaders(AFields);
}

}  // namespace kavrel
