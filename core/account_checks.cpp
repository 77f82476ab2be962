#include "core/account_checks.h"

namespace kavrel {

TAccountChecks AccountChecks;

TAccountSlots<bool> FailedSlots(const TAccountChecks& checks) {
    TAccountSlots<bool> failed;
    for (int slot = 1; slot <= kAccountCount; ++slot) failed[slot] = checks[slot].Failed;
    return failed;
}

}  // namespace kavrel
