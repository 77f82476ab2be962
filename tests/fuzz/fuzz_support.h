#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// What every harness shares: reading its input and stopping on a broken rule.
namespace kavrel::fuzz {

// A harness's input, read from the front: option bytes first, then texts. Reading past the end
// gives zeros and empty texts, so every byte string is a valid input and the fuzzer need not
// learn a format before it reaches the code under test.
class TFuzzInput {
  public:
    TFuzzInput(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    bool Empty() const { return rest_.empty(); }

    std::uint8_t Byte() {
        if (rest_.empty()) return 0;
        const auto b = static_cast<std::uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return b;
    }

    // The text before the next LF, which is taken too; the rest when there is none.
    std::string_view Line() {
        const auto lf = rest_.find('\n');
        const std::string_view line = rest_.substr(0, lf);
        rest_.remove_prefix(lf == std::string_view::npos ? rest_.size() : lf + 1);
        return line;
    }

    std::string_view Rest() {
        const std::string_view all = rest_;
        rest_ = {};
        return all;
    }

  private:
    std::string_view rest_;
};

// A rule of the code under test that the input broke: a finding, reported like a crash so that
// libFuzzer keeps the input.
[[noreturn]] inline void Broken(const char* rule, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: broken rule: %s\n", file, line, rule);
    std::abort();
}

}  // namespace kavrel::fuzz

#define FUZZ_CHECK(cond) \
    ((cond) ? static_cast<void>(0) : ::kavrel::fuzz::Broken(#cond, __FILE__, __LINE__))
