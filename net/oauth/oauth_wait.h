#pragma once

#include <chrono>
#include <functional>

namespace kavrel {

// Called over and over while a sign-in waits for the user, so that a window can keep its
// events turning. The user cancels by throwing from it; the exception goes on to the caller.
using TOAuthWaitHook = std::function<void()>;

// How often the hook is called at least.
constexpr std::chrono::milliseconds kOAuthWaitSlice{100};

// Lets span pass, calling hook (when set) at least once and then every slice.
void PauseFor(std::chrono::steady_clock::duration span, const TOAuthWaitHook& hook);

}  // namespace kavrel
