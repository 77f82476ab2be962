#pragma once

#include <cstddef>
#include <filesystem>

namespace kavrel::test {

// The descriptors this process has open, for tests that nothing is left behind.
inline std::size_t OpenDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

}  // namespace kavrel::test
