#include "net/transport/tcp_connection.h"

#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/transport/io_handler.h"
#include "net/transport/net_errors.h"
#include "net/transport/tcp_client.h"
#include "tests/support/loopback_ports.h"
#include "tests/support/raises.h"
#include "tests/support/script_server.h"
#include "tests/support/test_authority.h"

namespace kavrel {
namespace {

using test::Close;
using test::Expect;
using test::Reset;
using test::Send;
using test::SendLine;
using test::Stall;
using test::TScriptStep;
using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

// A client connected to a scripted server. The client goes first on the way out, so the
// server always sees the close.
struct TSession {
    explicit TSession(std::vector<TScriptStep> script) : Server(std::move(script)) {
        Client.Host = "127.0.0.1";
        Client.Port = Server.Port();
        Client.Connect();
    }
    test::TScriptServer Server;
    TTCPClient Client;
};

// The error text of the next ReadLine, or "" when it returns a line.
std::string NextLineError(TTCPConnection& c) {
    try {
        c.ReadLine();
    } catch (const ENetException& e) {
        return e.what();
    }
    return "";
}

const std::string ClosedText = "Connection Closed Gracefully.";
const std::string ResetText = "Socket Error # 10054\r\nConnection reset by peer.";
const std::string TooLongText = "Max line length exceeded.";

TEST(TCPConnection, LineEndsAndCloses) {
    const std::string x16384(16384, 'x');
    struct {
        const char* name;
        std::vector<TScriptStep> script;
        Lines lines;
        std::string error;  // of the read after the lines; "" when none is tried
    } const rows[] = {
        {"CR LF", {Send("abc\r\n")}, {"abc"}, ""},
        {"bare LF", {Send("abc\n")}, {"abc"}, ""},
        {"lone CR is data", {Send("a\rb\n")}, {"a\rb"}, ""},
        {"only the last CR goes", {Send("abc\r\r\n")}, {"abc\r"}, ""},
        {"NUL is data", {Send(std::string("a\0b\r\n", 5))}, {std::string("a\0b", 3)}, ""},
        {"empty lines", {Send("\r\n\n")}, {"", ""}, ""},
        {"line in pieces",
         {Send("ab"), Stall(30), Send("c\r"), Stall(30), Send("\nd\n")},
         {"abc", "d"},
         ""},
        {"partial line then close", {Send("abc"), Close()}, {}, ClosedText},
        {"line, partial line, close", {Send("x\r\nabc"), Close()}, {"x"}, ClosedText},
        {"lines read after the close", {Send("a\nb\n"), Close()}, {"a", "b"}, ClosedText},
        {"reset with bytes buffered", {Send("a\nbc"), Stall(200), Reset()}, {"a"}, ResetText},
        {"16384 bytes and LF pass", {Send(x16384 + "\n")}, {x16384}, ""},
        {"16385 bytes and LF", {Send(x16384 + "x\n")}, {}, TooLongText},
        {"16384 bytes and CR LF", {Send(x16384 + "\r\n")}, {}, TooLongText},
    };
    for (const auto& r : rows) {
        TSession s(r.script);
        for (const auto& expected : r.lines) EXPECT_EQ(s.Client.ReadLine(), expected) << r.name;
        if (!r.error.empty()) {
            EXPECT_EQ(NextLineError(s.Client), r.error) << r.name;
        }
    }
}

TEST(TCPConnection, TooLongLineConsumesNothing) {
    const std::string big(20000, 'y');
    TSession s({Send(big + "\n")});
    while (s.Client.InputBufferSize() <= big.size()) s.Client.PollPeerClosed(true);
    EXPECT_EQ(NextLineError(s.Client), TooLongText);
    EXPECT_EQ(s.Client.InputBufferSize(), big.size() + 1);
    // No limit for this one read: the same bytes are still there.
    EXPECT_EQ(s.Client.ReadLine("\n", TimeoutDefault, 0), big);
}

TEST(TCPConnection, TooLongPartialLineRaisesAsSoonAsBuffered) {
    TSession s({Send(std::string(16385, 'z')), Stall(3000)});
    const auto start = Clock::now();
    EXPECT_EQ(NextLineError(s.Client), TooLongText);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
}

TEST(TCPConnection, SplitLongLines) {
    TSession s({Send("abcdefgh\r\nij\r\n")});
    s.Client.MaxLineAction = TMaxLineAction::maSplit;
    s.Client.MaxLineLength = 3;
    EXPECT_EQ(s.Client.ReadLine(), "abc");
    EXPECT_TRUE(s.Client.LineWasSplit());
    EXPECT_EQ(s.Client.ReadLine(), "def");
    EXPECT_EQ(s.Client.ReadLine(), "gh");  // "gh\r" is three bytes before the LF
    EXPECT_FALSE(s.Client.LineWasSplit());
    EXPECT_EQ(s.Client.ReadLine(), "ij");
}

TEST(TCPConnection, LongTerminatorAcrossReceives) {
    TSession s({Send("one<E"), Stall(30), Send("ND>two<END>")});
    EXPECT_EQ(s.Client.ReadLine("<END>"), "one");
    EXPECT_EQ(s.Client.ReadLine("<END>"), "two");
}

TEST(TCPConnection, ReadTimeouts) {
    TSession s({Stall(300), SendLine("late"), Stall(400), SendLine("later")});
    EXPECT_EQ(s.Client.ReadLine("\n", 50), "");
    EXPECT_TRUE(s.Client.LineTimedOut());
    EXPECT_EQ(s.Client.ReadLine("\n", 2000), "late");
    EXPECT_FALSE(s.Client.LineTimedOut());
    s.Client.ReadTimeout = 100;
    EXPECT_EQ(test::MessageOf<EReadTimeout>([&] { s.Client.ReadLine(); }), "Read Timeout");
    // A time-out loses nothing: the connection is still usable.
    s.Client.ReadTimeout = 2000;
    EXPECT_EQ(s.Client.ReadLine(), "later");
}

TEST(TCPConnection, WaitingReportsWhileTheReplyIsLate) {
    TSession s({Stall(450), SendLine("late"), Stall(2000)});
    int calls = 0;
    s.Client.OnWaiting = [&](TNetComponent&) { ++calls; };
    s.Client.ReadTimeout = 5000;
    EXPECT_EQ(s.Client.ReadLine(), "late");
    EXPECT_GE(calls, 3) << "about one call per step of the wait";
    calls = 0;
    s.Client.ReadTimeout = 350;
    EXPECT_EQ(test::MessageOf<EReadTimeout>([&] { s.Client.ReadLine(); }), "Read Timeout")
        << "the steps keep the time-out";
    EXPECT_GE(calls, 2);
    EXPECT_LE(calls, 4);
}

TEST(TCPConnection, Replies) {
    struct {
        const char* name;
        std::string sent;
        const char* textCode;
        std::int32_t code;
        Lines text;
    } const rows[] = {
        {"blank lines first", "\r\n+OK ready\r\n", "+OK", 0, {"ready"}},
        {"trimmed", "  +OK 2 320 \t\r\n", "+OK", 0, {"2 320"}},
        {"multi-line",
         "250-first\r\n250-second\r\n250 last\r\n",
         "250",
         250,
         {"first", "second", "last"}},
        {"blank line inside", "250-first\r\n\r\n250 last\r\n", "250", 250, {"first", "last"}},
        {"end marker in any case", "abc-one\r\nABC two\r\n", "abc", 0, {"one", "two"}},
        {"short line ends it", "250-a\r\n25\r\n250 z\r\n", "250", 250, {"a", ""}},
    };
    for (const auto& r : rows) {
        TSession s({Send(r.sent + "+OK next\r\n")});
        s.Client.ReadReply();
        EXPECT_EQ(s.Client.LastReply.TextCode, r.textCode) << r.name;
        EXPECT_EQ(s.Client.LastReply.NumericCode, r.code) << r.name;
        EXPECT_EQ(s.Client.LastReply.Text, r.text) << r.name;
        EXPECT_EQ(s.Client.ReadLine(),
                  r.name == std::string("short line ends it") ? "250 z" : "+OK next")
            << r.name;
    }
}

TEST(TCPConnection, SendCommandChecksTheCode) {
    TSession s({Expect("STAT"), SendLine("-ERR no such message"), Expect("NOOP"),
                SendLine("550 mailbox unavailable"), Expect("HELO x"), SendLine("250 ok")});
    EXPECT_EQ(s.Client.SendCommand("STAT"), 0);  // -1: any code goes
    EXPECT_EQ(s.Client.LastReply.Text, Lines{" no such message"});
    try {
        s.Client.SendCommand("NOOP", 250);
        FAIL() << "no exception";
    } catch (const EProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode, 550);
        EXPECT_STREQ(e.what(), "mailbox unavailable\r\n");
    }
    // A refused reply leaves the connection open.
    EXPECT_EQ(s.Client.SendCommand("HELO x", 250), 250);
    EXPECT_TRUE(s.Server.Finish()) << s.Server.Report();
}

TEST(TCPConnection, RefusedNegativeReplyCarriesItsText) {
    TSession s({SendLine("-ERR no such message")});
    EXPECT_EQ(test::MessageOf<EProtocolReplyError>([&] { s.Client.AwaitReply({200}); }),
              " no such message\r\n");
}

TEST(TCPConnection, DotTerminatedList) {
    TSession s({Send("1 aa\r\n..x\r\n.x\r\n..\r\n\r\n.\r\n+OK after\r\n")});
    Lines list{"kept"};
    std::vector<std::string> work;
    s.Client.OnWorkBegin = [&](TNetComponent&, TWorkMode, std::int32_t max) {
        work.push_back("begin " + std::to_string(max));
    };
    s.Client.OnWorkEnd = [&](TNetComponent&, TWorkMode) { work.push_back("end"); };
    std::int32_t total = 0;
    s.Client.OnWork = [&](TNetComponent&, TWorkMode, std::int32_t count) { total = count; };
    s.Client.ReadLinesUntil(list, ".", true);
    EXPECT_EQ(list, (Lines{"kept", "1 aa", ".x", ".x", ".", ""}));
    EXPECT_EQ(work, (Lines{"begin 0", "end"}));
    EXPECT_EQ(total, 24);  // every byte consumed, line ends and the final "." included
    EXPECT_EQ(s.Client.ReadLine(), "+OK after");
}

TEST(TCPConnection, DotTerminatedListEndsWorkWhenCut) {
    TSession s({Send("a\r\n..b\r\n"), Close()});
    Lines list;
    int ends = 0;
    s.Client.OnWorkEnd = [&](TNetComponent&, TWorkMode) { ++ends; };
    EXPECT_EQ(
        test::MessageOf<EConnClosedGracefully>([&] { s.Client.ReadLinesUntil(list, ".", false); }),
        ClosedText);
    EXPECT_EQ(list, (Lines{"a", "..b"}));  // no unstuffing asked for
    EXPECT_EQ(ends, 1);
}

TEST(TCPConnection, ExactByteCounts) {
    TSession s({Send("abc"), Stall(30), Send("defgh\n"), Send("xy"), Close()});
    std::string bytes;
    s.Client.ReadBytes(bytes, 5);
    EXPECT_EQ(bytes, "abcde");
    s.Client.ReadBytes(bytes, 0);
    EXPECT_EQ(bytes, "abcde");
    EXPECT_EQ(s.Client.ReadLine(), "fgh");
    EXPECT_EQ(test::MessageOf<EConnClosedGracefully>([&] { s.Client.ReadBytes(bytes, 3); }),
              ClosedText);
    EXPECT_EQ(s.Client.InputBufferSize(), 2u);  // what came before the close is kept
}

TEST(TCPConnection, ReadToStream) {
    {
        TSession s({Send("0123456789tail\n")});
        TMemoryStream out;
        s.Client.ReadToStream(out, 10, false);
        EXPECT_EQ(out.Data, "0123456789");
        EXPECT_EQ(s.Client.ReadLine(), "tail");
    }
    {
        // Writes at the position and cuts what lay behind it.
        TSession s({Send("abc")});
        TMemoryStream out;
        out.Data = "XXXXXXXX";
        out.SetPosition(2);
        s.Client.ReadToStream(out, 3, false);
        EXPECT_EQ(out.Data, "XXabc");
    }
    {
        std::string big;
        for (int i = 0; big.size() < 200000; ++i) big += std::to_string(i) + ",";
        TSession s({Send(big), Stall(30), Send("end"), Close()});
        TMemoryStream out;
        std::int32_t total = 0;
        s.Client.OnWork = [&](TNetComponent&, TWorkMode, std::int32_t count) { total = count; };
        s.Client.ReadToStream(out, -1, true);
        EXPECT_EQ(out.Data, big + "end");
        EXPECT_FALSE(s.Client.IsConnected());
        EXPECT_LE(total, static_cast<std::int32_t>(out.Data.size()));
        EXPECT_GT(total, 0);
    }
}

TEST(TCPConnection, ReadToStreamCutShortIsAFailure) {
    for (const bool closeSeenFirst : {false, true}) {
        TSession s({Send("only ten b"), Close()});
        if (closeSeenFirst) {
            while (s.Client.IsConnected()) s.Client.PollPeerClosed(false);
        }
        TMemoryStream out;
        EXPECT_EQ(
            test::MessageOf<EConnClosedGracefully>([&] { s.Client.ReadToStream(out, 100, false); }),
            ClosedText)
            << closeSeenFirst;
        if (closeSeenFirst) {
            EXPECT_EQ(out.Data, "only ten b");
        }
    }
}

// A transfer may take long while it moves; one that slows to a trickle fails, where every
// single read would have been in time.
TEST(TCPConnection, ATransferMustKeepMoving) {
    struct {
        const char* name;
        int chunk;
        int pauseMs;
        bool slow;
    } const rows[] = {{"a trickle", 1, 20, true}, {"moving", 50, 20, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TSession s({test::Repeat(std::string(r.chunk, 'x'), 1200 / r.chunk, r.pauseMs), Close()});
        s.Client.ReadTimeout = 2000;
        s.Client.SlowWindowMs = 300;
        s.Client.SlowBytes = 200;
        TMemoryStream stream;
        const auto read = [&] {
            const TTCPConnection::TTransferScope transfer(s.Client);
            s.Client.ReadToStream(stream, 1200, false);
        };
        if (r.slow) {
            EXPECT_EQ(test::MessageOf<ESlowTransfer>(read),
                      "The server sent less than 1 KB per second for 60 seconds.");
            EXPECT_FALSE(s.Client.IsConnected());
        } else {
            read();
            EXPECT_EQ(stream.Size(), 1200);
        }
    }
}

// Answers each line it reads with a long one and reads the next only once that answer is out,
// in plain text or over TLS: a server that waits on its client while its answers wait.
class TStubbornServer {
  public:
    TStubbornServer(int lines, std::string answer, const test::TTestAuthority::TKeyPair* tls)
        : listener_(test::BoundLoopbackSocket(port_, 1)) {
        // Small buffers that do not grow: neither side can take much the other does not read.
        const int small = 4096;
        ::setsockopt(listener_.get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        ::setsockopt(listener_.get(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        if (tls) {
            context_.reset(SSL_CTX_new(TLS_server_method()));
            SSL_CTX_use_certificate_chain_file(context_.get(), tls->cert.c_str());
            SSL_CTX_use_PrivateKey_file(context_.get(), tls->key.c_str(), SSL_FILETYPE_PEM);
        }
        thread_ = std::thread([this, lines, answer = std::move(answer) + "\r\n"] {
            const TUniqueFd client(::accept(listener_.get(), nullptr, nullptr));
            std::unique_ptr<SSL, decltype(&SSL_free)> ssl(nullptr, SSL_free);
            if (context_) {
                ssl.reset(SSL_new(context_.get()));
                SSL_set_fd(ssl.get(), client.get());
                if (SSL_accept(ssl.get()) != 1) return;
            }
            const auto io = [&](bool write, char* data, int size) {
                if (ssl)
                    return write ? SSL_write(ssl.get(), data, size)
                                 : SSL_read(ssl.get(), data, size);
                return int(write ? ::send(client.get(), data, std::size_t(size), MSG_NOSIGNAL)
                                 : ::recv(client.get(), data, std::size_t(size), 0));
            };
            std::string input;
            char buffer[4096];
            for (int line = 0; line < lines; ++line) {
                std::size_t end;
                while ((end = input.find('\n')) == std::string::npos) {
                    const int n = io(false, buffer, int(sizeof buffer));
                    if (n <= 0) return;
                    input.append(buffer, std::size_t(n));
                }
                input.erase(0, end + 1);
                std::string out = answer;
                for (std::size_t at = 0; at < out.size();) {
                    const int n = io(true, out.data() + at, int(out.size() - at));
                    if (n <= 0) return;
                    at += std::size_t(n);
                }
                ++answered;
            }
        });
    }
    ~TStubbornServer() { thread_.join(); }
    int Port() const { return port_; }

    std::atomic<int> answered{0};

  private:
    int port_ = 0;
    TUniqueFd listener_;
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context_{nullptr, SSL_CTX_free};
    std::thread thread_;
};

// A client writing far ahead to such a server never stalls: the commands go out while the
// answers come in. Small buffers on both sides make the wait certain for a client that would
// only write.
TEST(TCPConnection, WritingAheadNeverWaitsOnAServerThatWaitsOnUs) {
    constexpr int kCommands = 8000;
    const std::string answer = "+OK " + std::string(300, 'a');
    std::vector<std::string> commands;
    for (int i = 0; i < kCommands; ++i) {
        commands.push_back("TOP " + std::to_string(i) + " 0 and some padding");
    }
    test::TTestAuthority authority;
    const test::TTestAuthority::TKeyPair keys = authority.IssueForLoopback();
    for (const bool tls : {false, true}) {
        SCOPED_TRACE(tls ? "TLS" : "plain");
        TStubbornServer server(kCommands, answer, tls ? &keys : nullptr);
        TTCPClient client;
        client.Host = "127.0.0.1";
        client.Port = server.Port();
        client.UseTLS = tls;
        client.ReadTimeout = 10000;
        client.Connect();
        const int fd = static_cast<TIOHandlerSocket*>(client.IOHandler())->Binding->Handle();
        const int small = 4096;
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        const int fixed = 65536;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &fixed, sizeof fixed);
        client.WriteAhead(commands);
        EXPECT_GT(client.BytesNotYetSent(), 0u) << "the socket could not take them all at once";
        for (const std::string& command : commands) {
            ASSERT_EQ(client.SendCommand(command), 0) << command;
            ASSERT_EQ(client.LastReply.Text.front(), answer.substr(4));
        }
        EXPECT_EQ(client.BytesNotYetSent(), 0u);
        EXPECT_EQ(server.answered, kCommands);
        client.Disconnect();
    }
}

TEST(TCPConnection, CommandsWrittenAheadAreAnsweredInTurn) {
    TSession s({Expect("STAT"), Expect("LIST 1"), SendLine("+OK 1 10"), SendLine("+OK 1 10"),
                Expect("NOOP"), SendLine("+OK"), Expect("NOOP"), SendLine("+OK")});
    s.Client.WriteAhead({"STAT", "LIST 1"});
    EXPECT_EQ(s.Client.CommandsAhead(), 2u);
    // Out of turn, a command would be given another one's reply.
    EXPECT_THROW(s.Client.SendCommand("LIST 1"), std::logic_error);
    EXPECT_EQ(s.Client.SendCommand("STAT"), 0);
    EXPECT_EQ(s.Client.LastReply.Text, std::vector<std::string>{"1 10"});
    s.Client.SendCommand("LIST 1");
    EXPECT_EQ(s.Client.CommandsAhead(), 0u);
    // Nothing left ahead: written as usual.
    s.Client.SendCommand("NOOP");
    s.Client.WriteAhead({"NOOP"});
    s.Client.Disconnect();
    EXPECT_EQ(s.Client.CommandsAhead(), 0u) << "forgotten with the connection";
    EXPECT_TRUE(s.Server.Finish()) << s.Server.Report();
}

TEST(TCPConnection, WriteLinesAndTheWriteBuffer) {
    TSession s({Expect("USER ann"), Expect(""), Expect("abcdef"), Expect("GET / HTTP/1.1")});
    std::vector<std::int32_t> totals;
    s.Client.OnWork = [&](TNetComponent&, TWorkMode mode, std::int32_t count) {
        if (mode == TWorkMode::wkWrite) totals.push_back(count);
    };
    const TWorkBracket bracket(s.Client, TWorkMode::wkWrite, 0);
    s.Client.WriteLine("USER ann");
    s.Client.WriteLine();
    s.Client.WriteText("");  // sends nothing
    EXPECT_EQ(totals, (std::vector<std::int32_t>{10, 12}));

    s.Client.BeginWriteBuffer(4);
    s.Client.WriteText("ab");
    EXPECT_EQ(totals.size(), 2u);  // held
    s.Client.WriteText("cdef\r\n");
    EXPECT_EQ(totals.back(), 16);  // the threshold's worth went out
    s.Client.EndWriteBuffer();
    EXPECT_EQ(totals.back(), 20);
    EXPECT_FALSE(s.Client.HasWriteBuffer());

    s.Client.BeginWriteBuffer(0);
    s.Client.WriteText("GET / ");
    s.Client.WriteLine("HTTP/1.1");
    s.Client.FlushWriteBuffer();
    s.Client.EndWriteBuffer();
    EXPECT_TRUE(s.Server.Finish()) << s.Server.Report();
}

// With MSG_NOSIGNAL a write to a vanished peer is an error text; without it, SIGPIPE would
// end the test program here.
TEST(TCPConnection, WriteToAVanishedPeer) {
    for (const bool reset : {false, true}) {
        // The peer goes away only once the connect is complete on our side: a reset that
        // comes while Connect still asks the socket about its ends fails the connect instead.
        TSession s({Expect("HELLO"), reset ? Reset() : Close()});
        s.Client.WriteLine("HELLO");
        ASSERT_TRUE(s.Server.Finish()) << s.Server.Report();
        std::string error;
        const auto give_up = Clock::now() + std::chrono::seconds(5);
        while (error.empty() && Clock::now() < give_up) {
            try {
                s.Client.WriteLine("QUIT");
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            } catch (const ENetException& e) {
                error = e.what();
            }
        }
        EXPECT_EQ(error, ResetText) << (reset ? "reset" : "close");
        EXPECT_FALSE(s.Client.IsConnected());
        EXPECT_EQ(test::MessageOf<EConnClosedGracefully>([&] { s.Client.WriteLine("QUIT"); }),
                  ClosedText);
    }
}

TEST(TCPConnection, UseBeforeConnect) {
    TTCPConnection c;
    EXPECT_EQ(test::MessageOf<ENotConnected>([&] { c.ReadLine(); }), "Not Connected");
    EXPECT_EQ(test::MessageOf<ENotConnected>([&] { c.WriteLine("x"); }), "Not Connected");
    EXPECT_FALSE(c.IsConnected());
    EXPECT_NO_THROW(c.Disconnect());
    EXPECT_NO_THROW(c.CloseSocket());
}

TEST(TCPConnection, PollNoticesTheClose) {
    TSession s({Send("bye\r\n"), Close()});
    ASSERT_TRUE(s.Server.Finish());
    for (int i = 0; i < 1000 && s.Client.IsConnected(); ++i) s.Client.PollPeerClosed(false);
    EXPECT_FALSE(s.Client.IsConnected());
    EXPECT_EQ(s.Client.ReadLine(), "bye");  // buffered lines outlive the close
    EXPECT_EQ(NextLineError(s.Client), ClosedText);
}

}  // namespace
}  // namespace kavrel
