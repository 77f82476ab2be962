#include "net/transport/io_handler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "net/transport/net_errors.h"
#include "tests/support/loopback_ports.h"
#include "tests/support/raises.h"
#include "tests/support/script_server.h"

namespace kavrel {
namespace {

using Clock = std::chrono::steady_clock;

long Milliseconds(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

struct TStatusLog {
    std::vector<std::string> Texts;
    void Attach(TNetComponent& c) {
        c.OnStatus = [this](TNetComponent&, TNetStatus, const std::string& text) {
            Texts.push_back(text);
        };
    }
};

TEST(IOHandlerSocket, HostFormsAndWhatTheyReport) {
    struct {
        const char* host;
        std::vector<std::string> statuses;
    } const rows[] = {
        {"localhost", {"Resolving hostname localhost.", "Connecting to 127.0.0.1."}},
        {"LocalHost", {"Resolving hostname LocalHost.", "Connecting to 127.0.0.1."}},
        {"127.0.0.1", {"Connecting to 127.0.0.1."}},
        {"127.1", {"Connecting to 127.1."}},
        {"127.0.1", {"Connecting to 127.0.1."}},
        {"2130706433", {"Connecting to 2130706433."}},
    };
    for (const auto& r : rows) {
        test::TScriptServer server({test::Stall(50)});
        TIOHandlerSocket handler;
        TStatusLog log;
        log.Attach(handler);
        handler.Open();
        handler.ConnectTo(r.host, server.Port(), TimeoutDefault);
        EXPECT_EQ(log.Texts, r.statuses) << r.host;
        ASSERT_TRUE(handler.IsOpen());
        EXPECT_EQ(handler.Binding->RemoteIP, "127.0.0.1") << r.host;
        EXPECT_EQ(handler.Binding->RemotePort, server.Port());
        EXPECT_EQ(handler.Binding->IP, "127.0.0.1");
        EXPECT_GT(handler.Binding->Port, 0);
        handler.Close();
        EXPECT_FALSE(handler.IsOpen());
        EXPECT_TRUE(server.Finish()) << server.Report();
    }
}

TEST(IOHandlerSocket, RefusedConnect) {
    const test::TRefusingPort port;
    TIOHandlerSocket handler;
    handler.Open();
    EXPECT_EQ(test::MessageOf<ESocketError>(
                  [&] { handler.ConnectTo("127.0.0.1", port.Port(), TimeoutDefault); }),
              "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(TSocketStack::Instance().LastError(), 10061);

    for (const int timeout : {10000, TimeoutInfinite}) {
        const auto start = Clock::now();
        EXPECT_EQ(test::MessageOf<EConnectException>(
                      [&] { handler.ConnectTo("127.0.0.1", port.Port(), timeout); }),
                  "Socket Error # 10061\r\nConnection refused.");
        // Seen within a poll step, not at the end of the time-out.
        EXPECT_LT(Milliseconds(start), 1000) << timeout;
    }
}

// The listener's queue is full, so the SYN is dropped: a real unanswered connect on loopback.
TEST(IOHandlerSocket, ConnectTimesOut) {
    const test::TUnansweredPort port;
    TIOHandlerSocket handler;
    handler.Open();
    const auto start = Clock::now();
    EXPECT_EQ(
        test::MessageOf<EConnectTimeout>([&] { handler.ConnectTo("127.0.0.1", port.Port(), 300); }),
        "Connect timed out.");
    const long elapsed = Milliseconds(start);
    EXPECT_GE(elapsed, 300);
    EXPECT_LT(elapsed, 3000);
    EXPECT_FALSE(handler.IsOpen());
    EXPECT_FALSE(handler.Active());
}

TEST(IOHandlerSocket, MissingHostFailsBeforeAnyConnect) {
    TIOHandlerSocket handler;
    TStatusLog log;
    log.Attach(handler);
    handler.Open();
    EXPECT_EQ(
        test::MessageOf<ESocketError>([&] { handler.ConnectTo("no..such..host", 110, 10000); }),
        "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(log.Texts, std::vector<std::string>{"Resolving hostname no..such..host."});
}

TEST(IOHandlerSocket, UseWithoutASocket) {
    TIOHandlerSocket handler;
    char byte = 0;
    EXPECT_EQ(test::MessageOf<EClosedSocket>([&] { handler.Receive(&byte, 1); }), "Disconnected.");
    EXPECT_EQ(test::MessageOf<EClosedSocket>([&] { handler.Send(&byte, 1); }), "Disconnected.");
    EXPECT_EQ(test::MessageOf<EConnClosedGracefully>([&] { handler.WaitReadable(10); }),
              "Connection Closed Gracefully.");
    handler.Open();
    EXPECT_TRUE(handler.Active());
    EXPECT_FALSE(handler.IsOpen());
}

TEST(IOHandlerSocket, PortOutsideSixteenBits) {
    test::TScriptServer server({test::Stall(50)});
    TIOHandlerSocket handler;
    handler.Open();
    // 65536 more than the server's port would wrap onto it.
    EXPECT_EQ(test::MessageOf<ESocketError>(
                  [&] { handler.ConnectTo("127.0.0.1", server.Port() + 65536, 0); }),
              "Socket Error # 10049\r\nCannot assign requested address.");
}

}  // namespace
}  // namespace kavrel
