// The whole mail check as "kavrel --check" runs it, against a real server (dovecot on
// loopback): a first cycle where every message is new, a second where every one is known,
// beside the protocol's floor in the same run. The second cycle must stay close to the floor:
// looking the messages up may not grow with the square of their number.
// Python's poplib doing the same POP3 work (bench/poplib_check.py) is timed beside them, and
// both cycles once more over TLS from the first byte against the same mailbox.
// Run: build/bench/bench_check_cycle [sizes...] (default 1000 10000)
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "bench/pop3_mailbox.h"
#include "config/u_globals.h"
#include "core/command_line_check.h"
#include "core/mail_list.h"
#include "tests/support/dovecot_server.h"

namespace {

using namespace kavrel;
using bench::Clock;

constexpr int kRounds = 3;

void PointAt(const std::string& server) {
    Settings = PW_SETTINGS_TYPE{};
    Settings.Active[1] = true;
    Settings.Server[1] = server;
    Settings.Account[1] = "ann";
    Settings.Password[1] = "secret";
}

double Cycle() {
    std::ostringstream out;
    const auto start = Clock::now();
    RunCommandLineCheck({}, out);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The poplib script's own figure for the same mailbox, in seconds.
double Poplib(int port) {
    const std::string command = std::string("/usr/bin/python3 ") + KAVREL_SOURCE_DIR +
                                "/bench/poplib_check.py 127.0.0.1 " + std::to_string(port) +
                                " ann secret";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot run python3");
    double seconds = -1;
    if (std::fscanf(pipe, "%lf", &seconds) != 1) seconds = -1;
    if (::pclose(pipe) != 0 || seconds < 0) throw std::runtime_error("the poplib script failed");
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {1000, 10000};
    try {
        for (const int size : sizes) {
            const bench::TMailboxPair mailbox(size);
            const int port = mailbox.plain.Port();
            std::vector<double> first, second, floor, poplib, tlsFirst, tlsSecond;
            for (int round = 0; round < kRounds; ++round) {
                floor.push_back(bench::FloorSession(port, size));
                poplib.push_back(Poplib(port));
                for (const bool tls : {false, true}) {
                    PointAt(tls ? "pop3s://127.0.0.1:" + std::to_string(mailbox.tls.TlsPort())
                                : "127.0.0.1:" + std::to_string(port));
                    MailList.clear();
                    (tls ? tlsFirst : first).push_back(Cycle());
                    (tls ? tlsSecond : second).push_back(Cycle());
                    if (MailList.size() != std::size_t(size)) {
                        throw std::runtime_error("the check did not track every message");
                    }
                }
            }
            const double f = bench::Median(floor), a = bench::Median(first),
                         b = bench::Median(second), p = bench::Median(poplib),
                         ta = bench::Median(tlsFirst), tb = bench::Median(tlsSecond);
            std::printf(
                "%6d messages: floor %.3f s, first cycle %.3f s (%.2f x floor), second cycle "
                "%.3f s (%.2f x floor), poplib %.3f s (second cycle %.1f x faster); over TLS "
                "first %.3f s (%.2f x plain), second %.3f s (%.2f x plain)\n",
                size, f, a, a / f, b, b / f, p, p / b, ta, ta / a, tb, tb / b);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_check_cycle: %s\n", e.what());
        return 1;
    }
    return 0;
}
