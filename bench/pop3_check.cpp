// One mail check's POP3 session against a real server (dovecot on loopback), timed for our
// client and for the protocol's floor: a bare socket client that sends the same commands and
// only counts reply lines; then our client again over TLS from the first byte against the same
// mailbox, beside the plain run. Run: build/bench/bench_pop3_check [sizes...] (default 1000
// 10000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/pop3_mailbox.h"
#include "net/pop3/pop3.h"

namespace {

using kavrel::bench::Clock;
using kavrel::bench::FloorSession;
using kavrel::bench::Median;
using kavrel::bench::Message;

constexpr int kRounds = 5;

double OurSession(int port, bool tls) {
    const auto start = Clock::now();
    kavrel::TPOP3 pop;
    pop.Host = "127.0.0.1";
    pop.Port = port;
    pop.TLS = tls ? kavrel::TTLSMode::tmImplicit : kavrel::TTLSMode::tmWhenOffered;
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
    const std::vector<int> sizes = kavrel::bench::Sizes(argc, argv);
    try {
        for (const int size : sizes) {
            const kavrel::bench::TMailboxPair mailbox(size);
            std::vector<double> ours, floor, tls;
            for (int round = 0; round < kRounds; ++round) {
                floor.push_back(FloorSession(mailbox.plain.Port(), size));
                ours.push_back(OurSession(mailbox.plain.Port(), false));
                tls.push_back(OurSession(mailbox.tls.TlsPort(), true));
            }
            const double o = Median(ours), f = Median(floor), t = Median(tls);
            std::printf(
                "%6d messages: ours %8.0f msg/s (%.3f s), floor %8.0f msg/s (%.3f s), "
                "ratio %.2f; over TLS %.3f s, %.2f x plain\n",
                size, size / o, o, size / f, f, o / f, t, t / o);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_pop3_check: %s\n", e.what());
        return 1;
    }
    return 0;
}
