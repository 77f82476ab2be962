#include "net/oauth/oauth_wait.h"

#include <algorithm>
#include <thread>

namespace kavrel {

void PauseFor(std::chrono::steady_clock::duration span, const TOAuthWaitHook& hook) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + span;
    do {
        if (hook) hook();
        const Clock::duration left = until - Clock::now();
        std::this_thread::sleep_for(
            std::clamp<Clock::duration>(left, Clock::duration::zero(), kOAuthWaitSlice));
    } while (Clock::now() < until);
}

}  // namespace kavrel
