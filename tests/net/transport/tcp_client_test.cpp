#include "net/transport/tcp_client.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "net/transport/net_errors.h"
#include "tests/support/descriptors.h"
#include "tests/support/loopback_ports.h"
#include "tests/support/raises.h"
#include "tests/support/script_server.h"

namespace kavrel {
namespace {

using test::Accept;
using test::Close;
using test::ExpectClosed;
using test::SendLine;
using test::Stall;

using test::OpenDescriptors;

// Status texts and the two notify events of one client, in order.
struct TEventLog {
    std::vector<std::string> Events;
    void Attach(TTCPClient& c) {
        c.OnStatus = [this](TNetComponent&, TNetStatus, const std::string& text) {
            Events.push_back(text);
        };
        c.OnConnected = [this](TNetComponent&) { Events.push_back("<connected>"); };
        c.OnDisconnected = [this](TNetComponent&) { Events.push_back("<disconnected>"); };
    }
};

TEST(TCPClient, ConnectAndDisconnectInOrder) {
    test::TScriptServer server({SendLine("+OK hello"), ExpectClosed()});
    TTCPClient client;
    TEventLog log;
    log.Attach(client);
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.Connect();
    EXPECT_TRUE(client.OwnsIOHandler());
    EXPECT_TRUE(client.IsConnected());
    EXPECT_EQ(client.ReadLine(), "+OK hello");
    client.Disconnect();
    EXPECT_FALSE(client.OwnsIOHandler());
    EXPECT_EQ(client.IOHandler(), nullptr);
    client.Disconnect();  // not open: nothing at all
    EXPECT_EQ(log.Events,
              (std::vector<std::string>{"Connecting to 127.0.0.1.", "Connected.", "<connected>",
                                        "Disconnecting.", "<disconnected>", "Disconnected."}));
    // Disconnect itself sends nothing: the server sees a close and no bytes.
    EXPECT_TRUE(server.Finish()) << server.Report();
}

TEST(TCPClient, PeerCloseIsReportedOnceWhenNoticed) {
    test::TScriptServer server({SendLine("+OK bye"), Close()});
    TTCPClient client;
    client.Host = "localhost";
    client.Port = server.Port();
    client.Connect();
    TEventLog log;
    log.Attach(client);
    EXPECT_EQ(client.ReadLine(), "+OK bye");
    EXPECT_EQ(test::MessageOf<EConnClosedGracefully>([&] { client.ReadLine(); }),
              "Connection Closed Gracefully.");
    EXPECT_FALSE(client.IsConnected());
    client.Disconnect();
    EXPECT_EQ(log.Events, (std::vector<std::string>{"Disconnected.", "<disconnected>"}));
    EXPECT_TRUE(server.Finish()) << server.Report();
}

TEST(TCPClient, FailedConnectLeavesNoSocketAndTheNextOneWorks) {
    const test::TRefusingPort refusing;
    test::TScriptServer server({SendLine("+OK second try")});
    TTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = refusing.Port();
    EXPECT_EQ(test::MessageOf<ESocketError>([&] { client.Connect(); }),
              "Socket Error # 10061\r\nConnection refused.");
    EXPECT_FALSE(client.IsConnected());
    ASSERT_NE(client.IOHandler(), nullptr);
    EXPECT_FALSE(client.IOHandler()->IsOpen());
    EXPECT_TRUE(client.ClosedByPeer());

    client.Port = server.Port();
    client.Connect(10000);
    EXPECT_EQ(client.ReadLine(), "+OK second try");
    EXPECT_TRUE(server.Finish()) << server.Report();
}

TEST(TCPClient, ConnectWhileOpenLeavesTheConnectionAlone) {
    test::TScriptServer server({Stall(100), SendLine("+OK still here")});
    TTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.Connect();
    EXPECT_EQ(test::MessageOf<EAlreadyConnected>([&] { client.Connect(); }), "Already connected.");
    EXPECT_TRUE(client.IsConnected());
    EXPECT_EQ(client.ReadLine(), "+OK still here");
}

TEST(TCPClient, FailuresInsideConnectCloseTheSocket) {
    test::TScriptServer server({Stall(50)});
    TTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.OnConnected = [](TNetComponent&) { throw std::runtime_error("handler failed"); };
    EXPECT_THROW(client.Connect(), std::runtime_error);
    EXPECT_FALSE(client.IsConnected());

    const test::TUnansweredPort unanswered;
    client.OnConnected = nullptr;
    client.Port = unanswered.Port();
    EXPECT_EQ(test::MessageOf<EConnectTimeout>([&] { client.Connect(200); }), "Connect timed out.");
    EXPECT_FALSE(client.IsConnected());

    client.Host = "no..such..host";
    EXPECT_EQ(test::MessageOf<ESocketError>([&] { client.Connect(200); }),
              "Socket Error # 11001\r\nHost not found.");
    EXPECT_FALSE(client.IsConnected());
}

TEST(TCPClient, ReconnectStartsWithAnEmptyInputBuffer) {
    test::TScriptServer server(
        {test::Send("one\nleft over"), ExpectClosed(), Accept(), SendLine("two")});
    TTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.Connect();
    EXPECT_EQ(client.ReadLine(), "one");
    // Wait for the rest to arrive, so that it is in the buffer when the connection ends.
    while (client.InputBufferSize() < 9) client.PollPeerClosed(true);
    client.Disconnect();
    client.Connect();
    EXPECT_EQ(client.ReadLine(), "two");
    EXPECT_TRUE(server.Finish()) << server.Report();
}

TEST(TCPClient, NoDescriptorOutlivesAFailedConnect) {
    const test::TRefusingPort refusing;
    const test::TUnansweredPort unanswered;
    TTCPClient client;
    const std::size_t before = OpenDescriptors();
    struct {
        const char* host;
        int port;
        int timeout;
    } const rows[] = {
        {"127.0.0.1", refusing.Port(), TimeoutDefault},
        {"127.0.0.1", refusing.Port(), 5000},
        {"127.0.0.1", refusing.Port(), TimeoutInfinite},
        {"127.0.0.1", unanswered.Port(), 150},
        {"no..such..host", 110, 150},
        {"127.0.0.1", 70000, 150},
    };
    for (const auto& r : rows) {
        client.Host = r.host;
        client.Port = r.port;
        EXPECT_THROW(client.Connect(r.timeout), ENetException) << r.host << ":" << r.port;
        EXPECT_EQ(OpenDescriptors(), before) << r.host << ":" << r.port;
    }
}

// A connect that waits lets its caller's events run, and a caller that gives up (the program
// is ending) leaves no socket behind.
TEST(TCPClient, AConnectWaitsAnsweringAndCanBeAbandoned) {
    const test::TUnansweredPort unanswered;
    TTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = unanswered.Port();
    const std::size_t before = OpenDescriptors();
    int calls = 0;
    client.OnWaiting = [&](TNetComponent&) { ++calls; };
    EXPECT_THROW(client.Connect(600), EConnectTimeout);
    EXPECT_GE(calls, 4) << "a call about every 100 ms";

    struct EGiveUp {};
    calls = 0;
    client.OnWaiting = [&](TNetComponent&) {
        if (++calls == 2) throw EGiveUp();
    };
    EXPECT_THROW(client.Connect(TimeoutInfinite), EGiveUp);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
}  // namespace kavrel
