#pragma once

#include <string>

#include "net/mail/mail_message.h"
#include "net/transport/tcp_client.h"

namespace kavrel {

// A client of a mail protocol: reads a message's header block into a TMailMessage.
class TMessageClient : public TTCPClient {
  public:
    // Reads lines up to the terminator (the line "." when it is empty) into the message's
    // HeaderLines, unchanged and in arrival order, then fills the message from them.
    void ReadHeaderLines(TMailMessage& AMsg, const std::string& ADelim);
};

}  // namespace kavrel
