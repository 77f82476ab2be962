#include "net/transport/net_component.h"

#include <algorithm>
#include <limits>

namespace kavrel {

std::string NetStatusText(TNetStatus status, const std::string& argument) {
    switch (status) {
        case TNetStatus::stResolving:
            return "Resolving hostname " + argument + ".";
        case TNetStatus::stConnecting:
            return "Connecting to " + argument + ".";
        case TNetStatus::stConnected:
            return "Connected.";
        case TNetStatus::stDisconnecting:
            return "Disconnecting.";
        case TNetStatus::stDisconnected:
            return "Disconnected.";
        case TNetStatus::stText:
            break;
    }
    return argument;
}

void TNetComponent::ReportStatus(TNetStatus status, const std::string& argument) {
    if (OnStatus) OnStatus(*this, status, NetStatusText(status, argument));
}

void TNetComponent::StartWork(TWorkMode mode, std::int32_t max) {
    TWorkRecord& r = Record(mode);
    if (++r.Level == 1) {
        r.Max = max;
        r.Count = 0;
        if (OnWorkBegin) OnWorkBegin(*this, mode, max);
    }
}

void TNetComponent::AddWork(TWorkMode mode, std::int64_t count) {
    TWorkRecord& r = Record(mode);
    if (r.Level < 1) return;
    // A download past 2 GiB holds the total at the top instead of wrapping to a negative.
    const std::int64_t total = std::int64_t{r.Count} + count;
    r.Count = static_cast<std::int32_t>(
        std::min<std::int64_t>(total, std::numeric_limits<std::int32_t>::max()));
    if (OnWork) OnWork(*this, mode, r.Count);
}

void TNetComponent::FinishWork(TWorkMode mode) {
    TWorkRecord& r = Record(mode);
    // An unbalanced FinishWork must not push the level below zero, or the next bracket
    // would never report its begin.
    if (r.Level < 1) return;
    // Lowered first, so that a handler that raises leaves the brackets balanced.
    if (--r.Level == 0 && OnWorkEnd) OnWorkEnd(*this, mode);
}

}  // namespace kavrel
