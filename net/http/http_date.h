#pragma once

#include <string>

#include "base/date_time.h"

namespace kavrel {

// A local date-time value as HTTP writes dates, in UTC: "Sun, 06 Nov 1994 08:49:37 GMT".
// MailDateToLocal reads it back.
std::string HttpDateText(TDateTime local);

}  // namespace kavrel
