#pragma once

#include <string>
#include <string_view>

#include "base/date_time.h"
#include "base/net_exception.h"

namespace kavrel {

// Raised when the system cannot tell the local time's offset from UTC.
class EFailedToRetrieveTimeZoneInfo : public ENetException {
  public:
    using ENetException::ENetException;
};

struct TMailDateParse {
    TDateTime Value = 0;  // 0 when no valid date and time were read
    std::string Rest;     // what follows the date and time (the zone, a comment)
};

// Reads the date and time of day at the start of a Date header text: day and month names in
// English or another common language, two- and three-digit years as RFC 5322 section 4.3 reads
// them, tabs as blanks, and the time either after the year or before it (asctime's form).
TMailDateParse ParseMailDate(std::string_view text);

// The zone of a Date header as a day fraction: "+hhmm" or "-hhmm" (also "+hh:mm", and after
// "GMT", "UTC" or "UT"), or one of the zone names of RFC 5322 (UT, GMT, Z, EST, EDT, CST, CDT,
// MST, MDT, PST, PDT); 0 for anything else.
double ParseZoneOffset(std::string_view text);

// The offset of local time from UTC as a day fraction, in force now or at a given UTC instant.
double LocalUtcOffset();
double LocalUtcOffsetAt(TDateTime utc);

// The local date-time value of a Date header text. A date that cannot be read is no failure:
// the result is then near 0 (30 December 1899). Raises EFailedToRetrieveTimeZoneInfo.
TDateTime MailDateToLocal(std::string_view text);

}  // namespace kavrel
