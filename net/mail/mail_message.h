#pragma once

#include <string>
#include <vector>

#include "base/date_time.h"
#include "net/mail/email_address.h"
#include "net/mail/header_list.h"

namespace kavrel {

enum class TMessagePriority { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };

// One message as far as its header goes. The mail check reads From.Address, Subject and Date;
// the other fields are filled in the same pass.
class TMailMessage {
  public:
    THeaderList HeaderLines;

    TEMailAddressItem From;
    std::string Subject;  // decoded, UTF-8
    TDateTime Date = 0;   // local time
    std::string ContentType;
    std::string CharSet;
    std::string ContentTransferEncoding;
    std::string ContentDisposition;
    std::string Organization;
    std::string References;
    std::string MsgId;
    std::vector<std::string> NewsGroups;
    TEMailAddressList Recipients;
    TEMailAddressList CCList;
    TEMailAddressList ReplyTo;
    TEMailAddressItem Sender;
    TEMailAddressItem ReceiptRecipient;
    TMessagePriority Priority = TMessagePriority::mpNormal;

    // Fills the fields from HeaderLines in a fixed order. The first failure ends it, with the
    // fields before it set: EEmailParseError, EConvertError or EFailedToRetrieveTimeZoneInfo.
    void FillFromHeaders();
};

}  // namespace kavrel
