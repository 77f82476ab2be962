#include "net/http/http_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "base/integer.h"
#include "net/http/http_errors.h"
#include "net/transport/io_handler.h"
#include "tests/support/raises.h"
#include "tests/support/script_server.h"

namespace kavrel {
namespace {

using test::Accept;
using test::Close;
using test::Expect;
using test::ExpectClosed;
using test::Send;
using test::Stall;
using Steps = std::vector<test::TScriptStep>;
using Clock = std::chrono::steady_clock;

Steps operator+(Steps a, const Steps& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The head this client sends for a GET, as the server reads it.
Steps Request(const std::string& target, const std::string& host = "h",
              const std::string& version = "1.1", const std::string& cookie = "") {
    Steps steps{Expect("GET " + target + " HTTP/" + version), Expect("Host: " + host),
                Expect("Accept: text/html, */*"),
                Expect("User-Agent: Mozilla/3.0 (compatible; Kavrel)")};
    if (!cookie.empty()) steps.push_back(Expect("Cookie: " + cookie));
    steps.push_back(Expect(""));
    return steps;
}

Steps Ok(const std::string& body, const std::string& extra = "") {
    return {Send("HTTP/1.1 200 OK\r\n" + extra + "Content-Length: " + std::to_string(body.size()) +
                 "\r\n\r\n" + body)};
}

// Takes the client to the test's servers whatever host and port it asks for, so that the
// host header of a real name and the standard port can be seen; keeps every send whole.
class TRoutingCarrier : public TIOHandlerSocket {
  public:
    std::map<std::string, int> Routes;  // "host:port" to the loopback port that answers
    std::vector<std::string> Connects;
    std::vector<std::string> Sends;

    void ConnectTo(const std::string& host, int port, int timeoutMs) override {
        const std::string key = host + ":" + std::to_string(port);
        Connects.push_back(key);
        TIOHandlerSocket::ConnectTo("127.0.0.1", Routes.at(key), timeoutMs);
    }
    int Send(const char* buffer, int length) override {
        Sends.emplace_back(buffer, static_cast<std::size_t>(length));
        return TIOHandlerSocket::Send(buffer, length);
    }
};

// A client for host "h" on port 80, served by one scripted server.
struct THTTPSession {
    explicit THTTPSession(Steps script) : Server(std::move(script)) {
        Carrier.Routes["h:80"] = Server.Port();
        Client.SetIOHandler(&Carrier);
        Client.SetHost("h");
        Client.OnWork = [this](TNetComponent&, TWorkMode mode, std::int32_t count) {
            if (mode == TWorkMode::wkRead) Work.push_back(count);
        };
        Client.OnStatus = [this](TNetComponent&, TNetStatus, const std::string& text) {
            Statuses.push_back(text);
        };
    }
    test::TScriptServer Server;
    TRoutingCarrier Carrier;
    THTTPClient Client;
    std::vector<std::int32_t> Work;
    std::vector<std::string> Statuses;
};

TEST(HTTPClient, RequestsAndTheirTargets) {
    test::TScriptServer first(Request("/files/kavrel.version") + Ok("v") +
                              Request("/files/setup.exe") + Ok("") + Request("/files/") + Ok("") +
                              Steps{ExpectClosed()});
    test::TScriptServer second(Request("/a/b.exe?x=1", "h2:8080") + Ok("") + Steps{ExpectClosed()});
    test::TScriptServer third(Request("/a/c.exe", "h2") + Ok(""));
    TRoutingCarrier carrier;
    carrier.Routes = {{"h:80", first.Port()}, {"h2:8080", second.Port()}, {"h2:80", third.Port()}};
    THTTPClient client;
    client.SetIOHandler(&carrier);
    client.SetHost("h");
    client.Connect(10000);
    EXPECT_EQ(client.Get("/files/kavrel.version"), "v");
    // Relative addresses resolve against the folder of the last request.
    EXPECT_EQ(client.Get("setup.exe"), "");
    EXPECT_EQ(client.Get(""), "");
    // A full address takes its own host and port; the bookmark is never sent.
    EXPECT_EQ(client.Get("http://h2:8080/a/b.exe?x=1#f"), "");
    EXPECT_EQ(client.Get("http://h2/a/c.exe"), "");

    EXPECT_EQ(carrier.Connects, (std::vector<std::string>{"h:80", "h2:8080", "h2:80"}));
    // Each head leaves in one send, nothing else is sent.
    ASSERT_EQ(carrier.Sends.size(), 5u);
    EXPECT_EQ(carrier.Sends[0],
              "GET /files/kavrel.version HTTP/1.1\r\nHost: h\r\nAccept: text/html, */*\r\n"
              "User-Agent: Mozilla/3.0 (compatible; Kavrel)\r\n\r\n");
    EXPECT_EQ(client.RequestCount(), 0);
    for (auto* server : {&first, &second, &third})
        EXPECT_TRUE(server->Finish()) << server->Report();
}

TEST(HTTPClient, BodiesAndStatuses) {
    const std::string closed = "Connection Closed Gracefully.";
    struct {
        const char* name;
        Steps response;
        std::string body;
        std::vector<std::int32_t> work;
        std::string error;  // "" when the Get succeeds
        int maxMs = 5000;
    } const rows[] = {
        {"content length", Ok("hello") + Steps{Stall(3000)}, "hello", {5}, ""},
        {"chunked",
         {Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
               "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n"),
          Stall(3000)},
         "hello world",
         {5, 6},
         ""},
        {"chunk extensions are not part of the size",
         {Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;n=v\r\nhello\r\n0\r\n\r\n"),
          Stall(3000)},
         "hello",
         {5},
         ""},
        {"a size line that names no size is a broken body",
         {Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\nzz\r\n")},
         "",
         {5},
         "'zz' is not a valid chunk size"},
        {"chunked spelt otherwise is read to the close",
         {Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n"),
          Close()},
         "5\r\nhello\r\n0\r\n\r\n",
         {15},
         ""},
        {"no length: to the close",
         {Send("HTTP/1.1 200 OK\r\n\r\nall of it"), Close()},
         "all of it",
         {9},
         ""},
        {"length 0 reads nothing", Ok("") + Steps{Stall(3000)}, "", {}, "", 1000},
        {"a length that is no number counts as none",
         {Send("HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\nxyz"), Close()},
         "xyz",
         {3},
         ""},
        {"204 reads nothing",
         {Send("HTTP/1.1 204 No Content\r\n\r\nnot a body"), Stall(3000)},
         "",
         {},
         "",
         1000},
        {"100 then the real answer",
         {Send("HTTP/1.1 100 Continue\r\n\r\n"),
          Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")},
         "ok",
         {2},
         ""},
        {"redirect",
         {Send("HTTP/1.1 302 Found\r\nLocation: /b\r\nContent-Length: 0\r\n\r\n")},
         "",
         {},
         "HTTP/1.1 302 Found"},
        {"a location makes any answer a redirect",
         {Send("HTTP/1.1 200 OK\r\nLocation: /b\r\nContent-Length: 2\r\n\r\nok")},
         "",
         {2},
         "HTTP/1.1 200 OK"},
        {"not found",
         {Send("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone")},
         "",
         {4},
         "HTTP/1.1 404 Not Found"},
        {"authentication is not answered",
         {Send("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=x\r\n"
               "Content-Length: 0\r\n\r\n")},
         "",
         {},
         "HTTP/1.1 401 Unauthorized"},
        {"status line without a number", {Send("garbage\r\n\r\n"), Close()}, "", {}, "garbage"},
        {"error body that never comes",
         {Send("HTTP/1.1 500 Oops\r\nContent-Length: 10\r\n\r\n"), Stall(4000)},
         "",
         {},
         "Read Timeout"},
        {"error body cut short still gives the status",
         {Send("HTTP/1.1 500 Oops\r\nContent-Length: 10\r\n\r\nabc"), Close()},
         "",
         {3},
         "HTTP/1.1 500 Oops"},
        // Taking a cut download for a whole one would save and start a broken installer.
        {"body cut short",
         {Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello"), Close()},
         "",
         {5},
         closed},
        {"close before the status line", {Close()}, "", {}, closed},
        {"close in the head ends the head",
         {Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n"), Close()},
         "",
         {},
         "Undefined situation"},
    };
    for (const auto& r : rows) {
        THTTPSession s(Request("/x") + r.response);
        std::string body;
        std::string error;
        const auto start = Clock::now();
        try {
            body = s.Client.Get("/x");
        } catch (const ENetException& e) {
            error = e.what();
        }
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        EXPECT_EQ(error, r.error) << r.name;
        EXPECT_EQ(body, r.body) << r.name;
        EXPECT_EQ(s.Work, r.work) << r.name;
        EXPECT_LT(ms, r.maxMs) << r.name;
        const bool chunkStarted =
            std::find(s.Statuses.begin(), s.Statuses.end(), "Chunk Started") != s.Statuses.end();
        EXPECT_EQ(chunkStarted, s.Client.Response.TransferEncoding == "chunked") << r.name;
    }
}

// Whatever a server does, one Get ends in bounded time, holding a bounded head.
TEST(HTTPClient, AHostileServerIsBounded) {
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    std::string cookies;
    for (int i = 0; i < 900; ++i) cookies += "Set-Cookie: c" + std::to_string(i) + "=v\r\n";
    struct {
        const char* name;
        Steps response;
        std::string error;  // "" when the Get succeeds
    } const rows[] = {
        {"a head that drips", {test::Repeat("H", 1000, 50)}, "Read Timeout"},
        {"a head without end",
         {Send(ok), test::Repeat("X-A: b\r\n", 1'000'000)},
         "The server's reply has more than 1000 lines."},
        {"a head of long lines",
         {Send(ok), test::Repeat("X-A: " + std::string(1000, 'a') + "\r\n", 1000)},
         "The server's reply is larger than 256 KB."},
        {"a body that trickles",
         {Send(ok + "Content-Length: 100000\r\n\r\n"), test::Repeat("x", 100000, 20)},
         "The server sent less than 1 KB per second for 60 seconds."},
        {"a flood of cookies", {Send(ok + cookies + "Content-Length: 2\r\n\r\nok")}, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        THTTPSession s(Request("/x") + r.response);
        s.Client.ReadTimeout = 500;
        s.Client.SlowWindowMs = 300;
        s.Client.SlowBytes = 200;
        std::string error;
        const auto start = Clock::now();
        try {
            EXPECT_EQ(s.Client.Get("/x"), "ok");
        } catch (const ENetException& e) {
            error = e.what();
        }
        EXPECT_EQ(error, r.error);
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3000));
    }
}

TEST(HTTPClient, StatusErrorCarriesCodeAndBody) {
    THTTPSession s(Request("/x") +
                   Steps{Send("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone")});
    try {
        s.Client.Get("/x");
        FAIL() << "no error";
    } catch (const EHTTPProtocolException& e) {
        EXPECT_EQ(e.ReplyErrorCode, 404);
        EXPECT_EQ(e.ErrorMessage, "gone");
    }
    // A failed exchange leaves no connection behind.
    EXPECT_FALSE(s.Client.IsConnected());
}

// A POST's answer comes back whatever its status: OAuth explains a refusal in a 400's body.
TEST(HTTPClient, PostReturnsEveryAnswer) {
    // Ends in CR LF only so that the script can read it as a line.
    const std::string form = "grant_type=refresh_token&refresh_token=r\r\n";
    const Steps post{Expect("POST /token HTTP/1.1"),
                     Expect("Content-Type: application/x-www-form-urlencoded"),
                     Expect("Content-Length: 42"),
                     Expect("Host: h"),
                     Expect("Accept: text/html, */*"),
                     Expect("User-Agent: Mozilla/3.0 (compatible; Kavrel)"),
                     Expect(""),
                     Expect("grant_type=refresh_token&refresh_token=r")};
    struct {
        const char* name;
        Steps response;
        std::string body;
        int status;
        std::string error;  // "" when the Post returns
    } const rows[] = {
        {"success", Ok("{}"), "{}", 200, ""},
        {"a refusal with its reason",
         {Send("HTTP/1.1 400 Bad Request\r\nContent-Length: 25\r\n\r\n"
               "{\"error\":\"invalid_grant\"}")},
         "{\"error\":\"invalid_grant\"}",
         400,
         ""},
        {"a redirect is not followed",
         {Send("HTTP/1.1 302 Found\r\nLocation: /b\r\nContent-Length: 5\r\n\r\nmoved")},
         "moved",
         302,
         ""},
        {"no content", {Send("HTTP/1.1 204 No Content\r\n\r\n"), Stall(3000)}, "", 204, ""},
        {"a body cut short",
         {Send("HTTP/1.1 400 Bad Request\r\nContent-Length: 10\r\n\r\nabc"), Close()},
         "",
         400,
         "Connection Closed Gracefully."},
    };
    for (const auto& r : rows) {
        THTTPSession s(post + r.response);
        std::string body;
        std::string error;
        try {
            body = s.Client.Post("/token", "application/x-www-form-urlencoded", form);
        } catch (const ENetException& e) {
            error = e.what();
        }
        EXPECT_EQ(error, r.error) << r.name;
        EXPECT_EQ(body, r.body) << r.name;
        EXPECT_EQ(s.Client.ResponseCode(), r.status) << r.name;
    }
    // The connection serves the next request, which carries no type of its own.
    THTTPSession s(post + Ok("{}") + Request("/x") + Ok("x"));
    EXPECT_EQ(s.Client.Post("/token", "application/x-www-form-urlencoded", form), "{}");
    EXPECT_EQ(s.Client.Get("/x"), "x");
    EXPECT_EQ(s.Carrier.Connects.size(), 1u);
    EXPECT_TRUE(s.Server.Finish()) << s.Server.Report();
}

TEST(HTTPClient, LargeBodyReportsRunningTotals) {
    const std::string body(100000, 'x');
    THTTPSession s(Request("/big") + Ok(body));
    EXPECT_EQ(s.Client.Get("/big").size(), body.size());
    ASSERT_GE(s.Work.size(), 4u);
    EXPECT_EQ(s.Work.back(), 100000);
    for (std::size_t i = 1; i < s.Work.size(); ++i) {
        EXPECT_GT(s.Work[i], s.Work[i - 1]);
        EXPECT_LE(s.Work[i] - s.Work[i - 1], 32768);
    }
}

TEST(HTTPClient, ConnectionReuse) {
    struct {
        const char* name;
        TProtocolVersion version;
        std::string connection;  // header line of the answer, "" for none
        bool kept;
    } const rows[] = {
        {"1.1 keeps by default", TProtocolVersion::pv1_1, "", true},
        {"1.1 with close", TProtocolVersion::pv1_1, "Connection: close\r\n", false},
        {"1.1 with a proxy's close", TProtocolVersion::pv1_1, "Proxy-Connection:  Close \r\n",
         false},
        {"1.0 closes by default", TProtocolVersion::pv1_0, "", false},
        {"1.0 with keep-alive", TProtocolVersion::pv1_0, "Connection: Keep-Alive\r\n", true},
    };
    for (const auto& r : rows) {
        const std::string version = r.version == TProtocolVersion::pv1_0 ? "1.0" : "1.1";
        THTTPSession s(Request("/a", "h", version) + Ok("a", r.connection) + Steps{Stall(3000)});
        s.Client.ProtocolVersion = r.version;
        EXPECT_EQ(s.Client.Get("/a"), "a") << r.name;
        EXPECT_EQ(s.Client.IsConnected(), r.kept) << r.name;
    }
}

TEST(HTTPClient, ClosedConnectionIsMadeAgain) {
    THTTPSession s(Request("/a") + Ok("a", "Connection: close\r\n") +
                   Steps{ExpectClosed(), Accept()} + Request("/b") + Ok("b") + Request("/c") +
                   Ok("c"));
    EXPECT_EQ(s.Client.Get("/a"), "a");
    EXPECT_FALSE(s.Client.IsConnected());
    EXPECT_EQ(s.Client.Get("/b"), "b");
    EXPECT_EQ(s.Client.Get("/c"), "c");
    EXPECT_EQ(s.Carrier.Connects, (std::vector<std::string>{"h:80", "h:80"}));
    EXPECT_TRUE(s.Server.Finish()) << s.Server.Report();
}

TEST(HTTPClient, CookiesGoBackToTheirHost) {
    THTTPSession s(Request("/files/a") + Ok("", "Set-Cookie: id=42; path=/\r\n") +
                   Request("/files/b", "h", "1.1", "id=42") + Ok(""));
    s.Client.Get("/files/a");
    s.Client.Get("b");
    ASSERT_NE(s.Client.CookieManager(), nullptr);
    EXPECT_TRUE(s.Server.Finish()) << s.Server.Report();
}

TEST(HTTPClient, RedirectFollowedWhenAsked) {
    THTTPSession s(
        Request("/a") +
        Steps{Send("HTTP/1.1 301 Moved\r\nLocation: /b\r\nContent-Length: 3\r\n\r\nold")} +
        Request("/b") + Ok("new"));
    s.Client.HandleRedirects = true;
    EXPECT_EQ(s.Client.Get("/a"), "new");
    EXPECT_TRUE(s.Server.Finish()) << s.Server.Report();
}

TEST(HTTPClient, AddressesThatCannotBeFetched) {
    TRoutingCarrier carrier;
    THTTPClient client;
    client.SetIOHandler(&carrier);
    client.SetHost("h");
    EXPECT_EQ(test::MessageOf<EConvertError>([&] { client.Get("http://h:8o/x"); }),
              "'8o' is not a valid integer value");
    client.TargetUri.Port.clear();
    EXPECT_EQ(test::MessageOf<EUnknownProtocol>([&] { client.Get("ftp://h/x"); }), "");
    EXPECT_TRUE(carrier.Connects.empty());
}

TEST(HTTPClient, ResponseHeadFields) {
    struct {
        const char* name;
        std::string line;
        std::string error;
    } const rows[] = {
        {"range", "Content-Range: bytes 0-499/1234", ""},
        {"range that is no number", "Content-Range: bytes x-499/1234",
         "'x' is not a valid integer value"},
        {"expires in seconds", "Expires: 60", ""},
        {"expires a day away in seconds", "Expires: 86400", "Invalid argument to time encode"},
        {"expires -1 is a date", "Expires: -1", ""},
    };
    for (const auto& r : rows) {
        THTTPResponse response;
        response.HeaderLines.Add(r.line);
        std::string error;
        try {
            response.ProcessHeaders();
        } catch (const EConvertError& e) {
            error = e.what();
        }
        EXPECT_EQ(error, r.error) << r.name;
    }
    THTTPResponse response;
    response.HeaderLines.Add("Content-Range: bytes 0-499/1234");
    response.HeaderLines.Add("Content-Length:  12 ");
    response.ProcessHeaders();
    EXPECT_EQ(response.ContentRangeStart, 0);
    EXPECT_EQ(response.ContentRangeEnd, 499);
    EXPECT_EQ(response.ContentLength, 12);
    EXPECT_TRUE(response.LengthKnown);
    for (const auto& [line, code] :
         std::vector<std::pair<std::string, int>>{{"HTTP/1.1 200 OK", 200},
                                                  {"HTTP/1.0 404 File not found", 404},
                                                  {"garbage", -1},
                                                  {"HTTP/1.1  301  Moved", 301},
                                                  {"HTTP/1.1 2x0 OK", -1}}) {
        response.StatusLine = line;
        EXPECT_EQ(response.StatusCode(), code) << line;
    }
}

}  // namespace
}  // namespace kavrel
