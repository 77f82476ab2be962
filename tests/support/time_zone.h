#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "tests/support/temp_dir.h"

namespace kavrel::test {

// Puts the process in a time zone, given as a POSIX TZ string, for the life of the guard.
class TScopedTimeZone {
  public:
    explicit TScopedTimeZone(const std::string& tz) {
        env_.emplace("TZ", tz);
        tzset();
    }
    TScopedTimeZone(const TScopedTimeZone&) = delete;
    TScopedTimeZone& operator=(const TScopedTimeZone&) = delete;
    ~TScopedTimeZone() {
        env_.reset();
        tzset();
    }

  private:
    std::optional<TScopedEnv> env_;
};

}  // namespace kavrel::test
