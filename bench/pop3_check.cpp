// One mail check's POP3 session against a real server (dovecot on loopback), timed for our
// client and for the protocol's floor: a bare socket client that sends the same commands and
// only counts reply lines. Run: build/bench/bench_pop3_check [sizes...] (default 1000 10000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/pop3.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/raw_client.h"

namespace {

using Clock = std::chrono::steady_clock;
using kavrel::test::TDovecotServer;

constexpr int kRounds = 5;

std::string Message(int n) {
    return "Return-Path: <sender" + std::to_string(n) +
           "@example.org>\n"
           "Received: from mx.example.org by pop.example.org; Tue, 15 Nov 1994 08:12:31 +0100\n"
           "From: =?ISO-8859-1?Q?J=F6rg?= Lee <joerg" +
           std::to_string(n) +
           "@example.org>\n"
           "To: ann@example.org\n"
           "Subject: Report number " +
           std::to_string(n) +
           " for the quarter\n"
           "Date: Tue, 15 Nov 1994 08:12:31 +0100\n"
           "Message-Id: <" +
           std::to_string(n) +
           "@example.org>\n"
           "Content-Type: text/plain; charset=iso-8859-1\n"
           "\n"
           "Body line one.\nBody line two.\n";
}

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

void ReadUntilDot(kavrel::test::TRawClient& c, long& lines) {
    for (std::string line = c.ReadLine(); line != "."; line = c.ReadLine()) ++lines;
}

double FloorSession(int port, int count) {
    const auto start = Clock::now();
    kavrel::test::TRawClient c(port);
    long lines = 0;
    c.ReadLine();
    c.SendLine("USER ann");
    c.ReadLine();
    c.SendLine("PASS secret");
    c.ReadLine();
    c.SendLine("UIDL");
    c.ReadLine();
    ReadUntilDot(c, lines);
    c.SendLine("STAT");
    c.ReadLine();
    for (int r = 1; r <= count; ++r) {
        c.SendLine("TOP " + std::to_string(r) + " 0");
        c.ReadLine();
        ReadUntilDot(c, lines);
    }
    c.SendLine("QUIT");
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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
