#pragma once

// A dovecot mailbox of n generated messages, and the protocol's floor for checking it: a bare
// socket client that sends a check's commands and only counts the reply lines.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/dovecot_server.h"
#include "tests/support/raw_client.h"
#include "tests/support/test_authority.h"

namespace kavrel::bench {

using Clock = std::chrono::steady_clock;

inline std::string Message(int n) {
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

inline void ReadUntilDot(test::TRawClient& c, long& lines) {
    for (std::string line = c.ReadLine(); line != "."; line = c.ReadLine()) ++lines;
}

// What every check does before its loop over the messages.
inline void LogInAndList(test::TRawClient& c, long& lines) {
    c.ReadLine();
    c.SendLine("CAPA");
    c.ReadLine();
    ReadUntilDot(c, lines);
    c.SendLine("USER ann");
    c.ReadLine();
    c.SendLine("PASS secret");
    c.ReadLine();
    c.SendLine("UIDL");
    c.ReadLine();
    ReadUntilDot(c, lines);
    c.SendLine("STAT");
    c.ReadLine();
}

inline double FloorSession(int port, int count) {
    const auto start = Clock::now();
    test::TRawClient c(port);
    long lines = 0;
    LogInAndList(c, lines);
    for (int r = 1; r <= count; ++r) {
        c.SendLine("TOP " + std::to_string(r) + " 0");
        c.ReadLine();
        ReadUntilDot(c, lines);
    }
    c.SendLine("QUIT");
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The true floor of a check: the same commands, with every TOP (and every LIST, as for a
// first check where every message is new) written by a thread of its own while the replies
// are counted, as a client that pipelines perfectly would.
inline double PipelinedFloorSession(int port, int count, bool withList) {
    const auto start = Clock::now();
    test::TRawClient c(port);
    long lines = 0;
    LogInAndList(c, lines);
    std::string commands;
    for (int r = 1; r <= count; ++r) {
        commands += "TOP " + std::to_string(r) + " 0\r\n";
        if (withList) commands += "LIST " + std::to_string(r) + "\r\n";
    }
    std::thread writer([&] { c.Send(commands); });
    for (int r = 1; r <= count; ++r) {
        c.ReadLine();
        ReadUntilDot(c, lines);
        if (withList) c.ReadLine();
    }
    writer.join();
    c.SendLine("QUIT");
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The same mailbox of n messages twice: on a plain server and on one with a certificate from a
// throw-away authority that this process trusts, for TLS from the first byte on TlsPort().
struct TMailboxPair {
    explicit TMailboxPair(int n)
        : keys(authority.IssueForLoopback()),
          plain(test::TDovecotServer::TUsers{{"ann", "secret"}}),
          tls(test::TDovecotServer::TUsers{{"ann", "secret"}}, {keys.cert, keys.key}) {
        for (int i = 1; i <= n; ++i) {
            plain.AddMessage("ann", Message(i));
            tls.AddMessage("ann", Message(i));
        }
        // Each server indexes the new mailbox once, before anything is timed.
        FloorSession(plain.Port(), n);
        FloorSession(tls.Port(), n);
    }

    test::TTestAuthority authority;
    test::TTestAuthority::TKeyPair keys;
    test::TDovecotServer plain;
    test::TDovecotServer tls;
};

// The mailbox sizes named on the command line, or the usual two.
inline std::vector<int> Sizes(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {1000, 10000};
    return sizes;
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace kavrel::bench
