#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <optional>

namespace kavrel::test {

// Runs write in a child process whose files cannot grow beyond limit bytes, so that a write
// fails part of the way through, as on a full disk. Returns what write returned, or nothing
// when the child did not end normally.
inline std::optional<bool> WithFileSizeLimit(rlim_t limit, const std::function<bool()>& write) {
    const pid_t child = ::fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit lim{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        _exit(write() ? 1 : 0);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return std::nullopt;
    return WEXITSTATUS(status) == 1;
}

}  // namespace kavrel::test
