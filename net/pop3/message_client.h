#pragma once

#include <cstddef>
#include <string>

#include "net/mail/mail_message.h"
#include "net/transport/tcp_client.h"

namespace kavrel {

// A client of a mail protocol: reads a message's header block into a TMailMessage.
class TMessageClient : public TTCPClient {
  public:
    // Reads lines up to the terminator (the line "." when it is empty) into the message's
    // HeaderLines, unchanged and in arrival order, then fills the message from them. Lines
    // past MaxHeaderBytes are read and dropped: the message is still read to its end.
    void ReadHeaderLines(TMailMessage& AMsg, const std::string& ADelim,
                         TMailMessage::TFields AFields = TMailMessage::TFields::All);

    // A real header is a few kilobytes; this keeps a hostile one from filling memory.
    std::size_t MaxHeaderBytes = std::size_t{1} << 20;
};

}  // namespace kavrel
