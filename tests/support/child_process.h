#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

// What the test servers that run as child processes share: reading the port they announce,
// and stopping them.
namespace kavrel::test {

// Reads what the child writes to fd until end appears (or 15 s pass) into text, and returns
// the number after " port " in it, 0 when there is none.
inline int AnnouncedPort(int fd, std::string_view end, std::string& text) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < deadline && text.find(end) == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    const auto at = text.find(" port ");
    return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + 6);
}

// SIGTERM, up to 5 s for the child to end, then SIGKILL; pid is -1 afterwards.
inline void StopChild(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        ended = ::waitpid(pid, nullptr, WNOHANG) == pid;
        if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    pid = -1;
}

}  // namespace kavrel::test
