#pragma once

#include <string>
#include <vector>

#include "base/date_time.h"
#include "net/mail/email_address.h"
#include "net/mail/header_list.h"

namespace kavrel {

enum class TMessagePriority { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };

// One message as far as its header goes. The mail check reads From, Subject and Date; the
// other fields are filled in the same pass unless the caller asks for those three only.
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

    // The text of the first field that could not be read (EEmailParseError or
    // EFailedToRetrieveTimeZoneInfo), "" when every field was read.
    std::string ParseError;

    enum class TFields {
        All,
        // What the mail check reads: From (the name for the new-mail notification), Subject
        // and Date, as All fills them. The other members keep their empty state, but the
        // address fields among them are still parsed, so ParseError is what All would give.
        FromAddressSubjectDate,
    };

    // Fills the fields from HeaderLines. A field that cannot be read stays empty and the others
    // are still filled: one sender's broken header must not hide what the rest of it says.
    void FillFromHeaders(TFields fields = TFields::All);
};

}  // namespace kavrel
