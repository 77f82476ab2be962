#pragma once

#include <cstdint>

#include "core/mail_watch_view.h"
#include "net/pop3/pop3.h"

namespace kavrel {

// Removes the tracked message at position (from 1) from its server: asks first when the
// settings say so, logs in to the message's slot as it is configured now, deletes the listed
// message with the same unique id, logs out, and redraws. A position with no entry is ignored.
void DeleteMessage(std::int32_t position, TPOP3& pop, bool& busy, TMailWatchView& view);

}  // namespace kavrel
