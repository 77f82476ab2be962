// The whole mail check as "kavrel --check" runs it, against a real server (dovecot on
// loopback): a first cycle where every message is new, a second where every one is known. Each
// is put beside the true floor, a bare client that writes every command ahead from a thread of
// its own (for the first cycle TOP and LIST, for the second TOP only), and beside the older
// one-at-a-time floor; Python's poplib doing the same POP3 work (bench/poplib_check.py) for
// reference; then both cycles over TLS from the first byte, and once more through a relay that
// delays each direction by half of a 50 ms round trip (this kernel has no netem).
// Run: build/bench/bench_check_cycle [sizes...] (default 1000 10000; the relay run uses the
// first size)
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "bench/pop3_mailbox.h"
#include "config/u_globals.h"
#include "core/command_line_check.h"
#include "core/mail_list.h"
#include "tests/support/delay_relay.h"
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

struct TCycles {
    double first = 0;
    double second = 0;
};

// Median first and second cycles of our check against server.
TCycles OurCycles(const std::string& server, int size) {
    std::vector<double> first, second;
    for (int round = 0; round < kRounds; ++round) {
        PointAt(server);
        MailList.clear();
        first.push_back(Cycle());
        second.push_back(Cycle());
        if (MailList.size() != std::size_t(size)) {
            throw std::runtime_error("the check did not track every message");
        }
    }
    return {bench::Median(first), bench::Median(second)};
}

// Median pipelined floors at port: with LIST (as a first cycle) and without.
TCycles FloorCycles(int port, int size) {
    std::vector<double> first, second;
    for (int round = 0; round < kRounds; ++round) {
        first.push_back(bench::PipelinedFloorSession(port, size, true));
        second.push_back(bench::PipelinedFloorSession(port, size, false));
    }
    return {bench::Median(first), bench::Median(second)};
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<int> sizes = bench::Sizes(argc, argv);
    try {
        for (const int size : sizes) {
            const bench::TMailboxPair mailbox(size);
            const int port = mailbox.plain.Port();
            std::vector<double> oneAtATime, poplib;
            for (int round = 0; round < kRounds; ++round) {
                oneAtATime.push_back(bench::FloorSession(port, size));
                poplib.push_back(Poplib(port));
            }
            const TCycles floor = FloorCycles(port, size);
            const TCycles ours = OurCycles("127.0.0.1:" + std::to_string(port), size);
            const TCycles tls =
                OurCycles("pop3s://127.0.0.1:" + std::to_string(mailbox.tls.TlsPort()), size);
            const double o = bench::Median(oneAtATime), p = bench::Median(poplib);
            std::printf(
                "%6d messages on loopback: first cycle %.3f s (%.2f x the pipelined floor %.3f s), "
                "second %.3f s (%.2f x its floor %.3f s); one-at-a-time floor %.3f s; poplib "
                "%.3f s (%.1f x our second cycle); over TLS first %.3f s (%.2f x plain), second "
                "%.3f s (%.2f x plain)\n",
                size, ours.first, ours.first / floor.first, floor.first, ours.second,
                ours.second / floor.second, floor.second, o, p, p / ours.second, tls.first,
                tls.first / ours.first, tls.second, tls.second / ours.second);
            if (size != sizes.front()) continue;
            const test::TDelayRelay relay(port, 50);
            const TCycles slowFloor = FloorCycles(relay.Port(), size);
            const TCycles slow = OurCycles("127.0.0.1:" + std::to_string(relay.Port()), size);
            std::printf(
                "%6d messages over a 50 ms round trip: first cycle %.3f s (%.2f x the pipelined "
                "floor %.3f s), second %.3f s (%.2f x its floor %.3f s)\n",
                size, slow.first, slow.first / slowFloor.first, slowFloor.first, slow.second,
                slow.second / slowFloor.second, slowFloor.second);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_check_cycle: %s\n", e.what());
        return 1;
    }
    return 0;
}
