// One mail check's POP3 session against a real server (dovecot on loopback), timed for our
// client and for the protocol's floor: a bare socket client that sends the same commands and
// only counts reply lines. Run: build/bench/bench_pop3_check [sizes...] (default 1000 10000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/pop3_mailbox.h"
#include "net/pop3.h"
#include "tests/support/dovecot_server.h"

namespace {

using kavrel::bench::Clock;
using kavrel::bench::FloorSession;
using kavrel::bench::Median;
using kavrel::bench::Message;
using kavrel::test::TDovecotServer;

constexpr int kRounds = 5;

double OurSession(int port) {
    const auto start = Clock::now();
    kavrel::TPOP3 pop;
    pop.Host = "127.0.0.1";
    pop.Port = port;
    pop.Username = "ann";
    pop.Password = "secret";
    pop.Connect(10000);
    std::vector<std::string> uids;
    pop.ListUids(uids);
    const int count = pop.GetMessageCount();
    for (int r = 1; r <= count; ++r) {
        kavrel::TMailMessage msg;
        pop.FetchHeader(r, msg);
    }
    if (pop.IsConnected()) pop.Disconnect();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {1000, 10000};
    try {
        for (const int size : sizes) {
            TDovecotServer server(TDovecotServer::TUsers{{"ann", "secret"}});
            for (int n = 1; n <= size; ++n) server.AddMessage("ann", Message(n));
            FloorSession(server.Port(), size);  // the server indexes the new mailbox once
            std::vector<double> ours, floor;
            for (int round = 0; round < kRounds; ++round) {
                floor.push_back(FloorSession(server.Port(), size));
                ours.push_back(OurSession(server.Port()));
            }
            const double o = Median(ours), f = Median(floor);
            std::printf(
                "%6d messages: ours %8.0f msg/s (%.3f s), floor %8.0f msg/s (%.3f s), "
                "ratio %.2f\n",
                size, size / o, o, size / f, f, o / f);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_pop3_check: %s\n", e.what());
        return 1;
    }
    return 0;
}
