#pragma once

#include <chrono>
#include <functional>

namespace kavrel::bench {

// The mean time of one call of step over rounds calls, in milliseconds.
inline double MillisecondsOf(int rounds, const std::function<void()>& step) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) step();
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    return spent.count() / rounds;
}

}  // namespace kavrel::bench
