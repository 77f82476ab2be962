#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/unique_fd.h"

extern char** environ;

// What the test servers and daemons that run as child processes share: starting them, reading
// what they announce, and stopping them.
namespace kavrel::test {

// A pipe whose ends close on exec and with their owner.
struct TPipe {
    TUniqueFd readEnd, writeEnd;
    TPipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
        readEnd.reset(fds[0]);
        writeEnd.reset(fds[1]);
    }
};

// This process's environment with some variables replaced or (with an empty value) removed,
// built before the fork so that the child only calls exec.
inline std::vector<std::string> EnvironmentWith(
    const std::map<std::string, std::string>& changes = {}) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (!changes.contains(entry.substr(0, entry.find('=')))) env.push_back(entry);
    }
    for (const auto& [name, value] : changes) {
        if (!value.empty()) env.push_back(name + "=" + value);
    }
    return env;
}

// Starts argv[0] with stdin and stdout on the given descriptors (-1: /dev/null) and stderr
// appended to log (empty: this process's). The child dies with this process, even when a
// test crashes.
inline pid_t Spawn(std::vector<std::string> argv, std::vector<std::string> env, int in, int out,
                   const std::string& log = {}) {
    const auto pointers = [](std::vector<std::string>& texts) {
        std::vector<char*> list;
        for (auto& t : texts) list.push_back(t.data());
        list.push_back(nullptr);
        return list;
    };
    auto args = pointers(argv);
    auto envp = pointers(env);
    const TUniqueFd null(::open("/dev/null", O_RDWR | O_CLOEXEC));
    const TUniqueFd err(
        log.empty() ? -1 : ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        ::dup2(in >= 0 ? in : null.get(), STDIN_FILENO);
        ::dup2(out >= 0 ? out : null.get(), STDOUT_FILENO);
        if (!log.empty()) ::dup2(err.valid() ? err.get() : null.get(), STDERR_FILENO);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    if (pid < 0) throw std::runtime_error("fork failed");
    return pid;
}

// Reads what the child writes to fd into text until end appears, the pipe closes or 15 s pass.
inline void ReadUntil(int fd, std::string_view end, std::string& text) {
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
}

// ReadUntil, then the number after " port " in text, 0 when there is none.
inline int AnnouncedPort(int fd, std::string_view end, std::string& text) {
    ReadUntil(fd, end, text);
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
