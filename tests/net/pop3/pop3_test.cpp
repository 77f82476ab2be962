#include "net/pop3/pop3.h"

#include <gtest/gtest.h>

#include "base/integer.h"
#include "net/transport/net_errors.h"
#include "tests/support/pop3_script.h"
#include "tests/support/raises.h"
#include "tests/support/script_server.h"
#include "tests/support/time_zone.h"

namespace kavrel {
namespace {

using namespace kavrel::test;

// The login every session of these tests starts with.
std::vector<TScriptStep> LoggedIn(std::vector<TScriptStep> then) {
    std::vector<TScriptStep> script = {
        SendLine("+OK ready"),    Expect("CAPA"),  SendLine("-ERR unknown command"),
        Expect("USER ann"),       SendLine("+OK"), Expect("PASS s3cret x"),
        SendLine("+OK logged in")};
    script.insert(script.end(), then.begin(), then.end());
    return script;
}

struct TSession {
    explicit TSession(std::vector<TScriptStep> script) : server(std::move(script)) {
        pop.Host = "127.0.0.1";
        pop.Port = server.Port();
        pop.Username = "ann";
        pop.Password = "s3cret x";  // sent exactly as stored, blank included
    }
    TScriptServer server;
    TPOP3 pop;
};

TEST(Pop3, LoginFailuresSendQuitAndClose) {
    struct {
        const char* name;
        std::vector<TScriptStep> script;
        std::string message;
    } const rows[] = {
        {"greeting refused", {SendLine("-ERR busy"), Expect("QUIT"), Close()}, " busy\r\n"},
        {"password refused",
         {SendLine("+OK"), Expect("CAPA"), SendLine("-ERR unknown command"), Expect("USER ann"),
          SendLine("+OK"), Expect("PASS s3cret x"), SendLine("-ERR [AUTH] Authentication failed."),
          Expect("QUIT"), Close()},
         " [AUTH] Authentication failed.\r\n"},
        {"user refused",
         {SendLine("+OK"), Expect("CAPA"), SendLine("-ERR unknown command"), Expect("USER ann"),
          SendLine("-ERR no such user"), Expect("QUIT"), Close()},
         " no such user\r\n"},
        {"greeting neither +OK nor -ERR",
         {SendLine("* OK IMAP4 ready"), Expect("QUIT"), Close()},
         "Unrecognized POP3 Response Header:\n\" IMAP4 ready\r\n\""},
    };
    for (const auto& r : rows) {
        TSession s(r.script);
        EXPECT_EQ(MessageOf<ENetException>([&] { s.pop.Connect(5000); }), r.message) << r.name;
        EXPECT_FALSE(s.pop.IsConnected()) << r.name;
        EXPECT_TRUE(s.server.Finish()) << r.name << "\n" << s.server.Report();
    }
}

// What the session does with CAPA before it logs in, up to the point where TLS would begin;
// the handshakes themselves are tried against dovecot.
TEST(Pop3, StlsIsAskedForOnlyWhenOfferedAndNeverSkippedWhenRequired) {
    const auto capa = [](const std::vector<std::string>& names) {
        return TScript{SendLine("+OK ready")} + Capa(names);
    };
    const std::vector<TScriptStep> login = {Expect("USER ann"),      SendLine("+OK"),
                                            Expect("PASS s3cret x"), SendLine("+OK"),
                                            Expect("QUIT"),          Close()};
    struct {
        const char* name;
        TTLSMode tls;
        std::vector<TScriptStep> script;
        std::string message;   // empty: logged in
        bool scripted = true;  // false: the client's TLS bytes end the script as unexpected
    } const rows[] = {
        {"no STLS listed", TTLSMode::tmWhenOffered, capa({"TOP", "USER"}) + login, ""},
        {"STLS offered but refused", TTLSMode::tmWhenOffered,
         capa({"stls"}) +
             TScript{Expect("STLS"), SendLine("-ERR not now"), Expect("QUIT"), Close()},
         " not now\r\n"},
        {"required, not listed", TTLSMode::tmRequired,
         capa({"USER", "STLSX"}) + TScript{Expect("QUIT"), Close()},
         "TLS: the server does not offer STLS, which this account requires"},
        {"required, CAPA refused",
         TTLSMode::tmRequired,
         {SendLine("+OK ready"), Expect("CAPA"), SendLine("-ERR what?"), Expect("QUIT"), Close()},
         "TLS: the server does not offer STLS, which this account requires"},
        // Text sent before the handshake would be taken as if it had come over TLS.
        {"text slipped in before the handshake", TTLSMode::tmRequired,
         capa({"STLS"}) +
             TScript{Expect("STLS"), Send("+OK Begin TLS\r\n+OK logged in\r\n"), ExpectClosed()},
         "TLS: the server sent data before the handshake"},
        {"plain text where the handshake should be", TTLSMode::tmWhenOffered,
         capa({"STLS"}) +
             TScript{Expect("STLS"), SendLine("+OK Begin TLS"), Stall(200), SendLine("+OK")},
         "TLS: handshake failed: ", false},
        // A server that takes the connection and never answers the handshake.
        {"silence where the handshake should be",
         TTLSMode::tmImplicit,
         {Stall(3000)},
         "TLS: handshake timed out",
         false},
    };
    for (const auto& r : rows) {
        TSession s(r.script);
        s.pop.TLS = r.tls;
        s.pop.ReadTimeout = 1000;
        const std::string message = MessageOf<ENetException>([&] { s.pop.Connect(5000); });
        if (r.message.empty()) {
            EXPECT_EQ(message, "<nothing raised>") << r.name;
            s.pop.Disconnect();
        } else {
            EXPECT_EQ(message.substr(0, r.message.size()), r.message) << r.name;
            EXPECT_FALSE(s.pop.IsConnected()) << r.name;
        }
        if (r.scripted) {
            EXPECT_TRUE(s.server.Finish()) << r.name << "\n" << s.server.Report();
        }
    }
}

TEST(Pop3, LowerCaseGreetingIsAccepted) {
    TSession s({SendLine("+ok ready"), Expect("CAPA"), SendLine("-ERR unknown command"),
                Expect("USER ann"), SendLine("+ok"), Expect("PASS s3cret x"), SendLine("+ok"),
                Expect("QUIT"), Close()});
    s.pop.Connect(5000);
    EXPECT_EQ(s.pop.LastReply.NumericCode, 1);
    EXPECT_EQ(s.pop.LastReply.TextCode, "1");
    s.pop.Disconnect();
    EXPECT_TRUE(s.server.Finish()) << s.server.Report();
}

TEST(Pop3, Apop) {
    TSession s({SendLine("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>"), Expect("CAPA"),
                SendLine("-ERR"), Expect("APOP mrose c4c9334bac560ecc979e58001b3e22fb"),
                SendLine("+OK"), Expect("QUIT"), Close()});
    s.pop.APOP = true;
    s.pop.Username = "mrose";
    s.pop.Password = "tanstaaf";
    s.pop.Connect(5000);
    s.pop.Disconnect();
    EXPECT_TRUE(s.server.Finish()) << s.server.Report();

    TSession none(
        {SendLine("+OK no stamp here"), Expect("CAPA"), SendLine("-ERR"), Expect("QUIT"), Close()});
    none.pop.APOP = true;
    EXPECT_EQ(MessageOf<ENetException>([&] { none.pop.Connect(5000); }),
              "Server do not support APOP (no timestamp)");
}

TEST(Pop3, MessageCount) {
    struct {
        const char* reply;
        std::optional<int> count;  // nothing: the conversion error
        const char* error;
    } const rows[] = {
        {"+OK 2 320", 2, ""},
        {"+OK", 0, ""},
        {"+OK 5", std::nullopt, "'' is not a valid integer value"},
        {"+OK x 3", std::nullopt, "'x' is not a valid integer value"},
        {"+OK -4 4000", std::nullopt, "'-4' is not a valid integer value"},  // fewer than none
        {"+OK $3 0", std::nullopt, "'$3' is not a valid integer value"},     // decimal only
        {"+OK +3 0", std::nullopt, "'+3' is not a valid integer value"},
    };
    for (const auto& r : rows) {
        TSession s(LoggedIn({Expect("STAT"), SendLine(r.reply), Expect("QUIT"), Close()}));
        s.pop.Connect(5000);
        if (r.count) {
            EXPECT_EQ(s.pop.GetMessageCount(), *r.count) << r.reply;
        } else {
            EXPECT_EQ(MessageOf<EConvertError>([&] { s.pop.GetMessageCount(); }), r.error);
        }
        s.pop.Disconnect();
        EXPECT_TRUE(s.server.Finish()) << r.reply << "\n" << s.server.Report();
    }
}

TEST(Pop3, MessageSize) {
    struct {
        const char* reply;
        int size;
    } const rows[] = {{"+OK 2 1234", 1234}, {"+OK 1234", 1234}, {"+OK 2 many", -1},
                      {"+OK 2 -5", -1},     {"+OK 2 0", 0},     {"+OK", -1},
                      {"+OK 2 $400", -1},   {"+OK 2 0x10", -1}};
    for (const auto& r : rows) {
        TSession s(LoggedIn({Expect("LIST 2"), SendLine(r.reply), Expect("QUIT"), Close()}));
        s.pop.Connect(5000);
        EXPECT_EQ(s.pop.GetMessageSize(2), r.size) << r.reply;
        s.pop.Disconnect();
        EXPECT_TRUE(s.server.Finish()) << s.server.Report();
    }
    TSession refused(LoggedIn({Expect("LIST 9"), SendLine("-ERR no such message")}));
    refused.pop.Connect(5000);
    EXPECT_EQ(MessageOf<EProtocolReplyError>([&] { refused.pop.GetMessageSize(9); }),
              " no such message\r\n");
}

TEST(Pop3, UidListing) {
    TSession s(LoggedIn({Expect("UIDL"), SendLine("+OK"), SendLine("1 abc"), SendLine("..a"),
                         SendLine("."), Expect("UIDL"), SendLine("-ERR not supported"),
                         Expect("UIDL 2"), SendLine("+OK 2 xyz"), Expect("QUIT"), Close()}));
    s.pop.Connect(5000);
    std::vector<std::string> list = {"kept"};
    EXPECT_TRUE(s.pop.ListUids(list));
    EXPECT_EQ(list, (std::vector<std::string>{"kept", "1 abc", ".a"}));  // appended, unstuffed
    EXPECT_FALSE(s.pop.ListUids(list)) << "a refusal is no failure";
    EXPECT_EQ(list.size(), 3u);
    EXPECT_TRUE(s.pop.ListUids(list, 2));
    EXPECT_EQ(list, (std::vector<std::string>{"2 xyz"}));
    s.pop.Disconnect();
    EXPECT_TRUE(s.server.Finish()) << s.server.Report();
}

TEST(Pop3, HeaderFetch) {
    TScopedTimeZone tz("UTC0");
    TSession s(LoggedIn(
        {Expect("TOP 1 0"), SendLine("+OK"), SendLine("From: Ann <a@b.c>"),
         SendLine("Subject: Hello"), SendLine("\tworld"), SendLine("..stuffed: kept"), SendLine(""),
         SendLine("body line"), SendLine("."), Expect("TOP 2 0"), SendLine("+OK"),
         SendLine("Subject: no blank line"), SendLine("."), Expect("QUIT"), Close()}));
    s.pop.Connect(5000);
    // The check keeps the window alive through these events, one per line or more.
    int works = 0;
    s.pop.OnWork = [&works](TNetComponent&, TWorkMode, std::int32_t) { ++works; };
    TMailMessage m;
    EXPECT_TRUE(s.pop.FetchHeader(1, m));
    EXPECT_GE(works, 6);
    EXPECT_EQ(m.From.Address, "a@b.c");
    EXPECT_EQ(m.Subject, "Hello world");
    EXPECT_EQ(m.HeaderLines.Lines(),
              (std::vector<std::string>{"From: Ann <a@b.c>", "Subject: Hello", "\tworld",
                                        "..stuffed: kept", "body line"}));
    TMailMessage m2;
    EXPECT_TRUE(s.pop.FetchHeader(2, m2));
    EXPECT_EQ(m2.Subject, "no blank line");
    s.pop.Disconnect();
    EXPECT_TRUE(s.server.Finish()) << s.server.Report();
}

TEST(Pop3, DeleteThenQuitWithoutWaiting) {
    TSession s(LoggedIn({Expect("DELE 3"), SendLine("+OK Marked to be deleted."), Expect("QUIT"),
                         Stall(3000), Close()}));
    s.pop.Connect(5000);
    EXPECT_TRUE(s.pop.MarkDeleted(3));
    s.pop.Disconnect();  // must not wait for the stalled QUIT reply
    EXPECT_FALSE(s.pop.IsConnected());
}

TEST(Pop3, DisconnectAfterThePeerClosedSendsNothing) {
    TSession s(LoggedIn({Expect("STAT"), Close()}));
    s.pop.Connect(5000);
    EXPECT_EQ(MessageOf<ENetException>([&] { s.pop.GetMessageCount(); }),
              "Connection Closed Gracefully.");
    EXPECT_NO_THROW(s.pop.Disconnect());
    EXPECT_TRUE(s.server.Finish()) << s.server.Report();
}

// The program gives its session a read time-out, so a server that stops answering half-way
// fails the call instead of holding the window for ever.
TEST(Pop3, ServerThatStopsAnsweringTimesOut) {
    TSession s(LoggedIn({Expect("STAT"), Send("+OK 2"), Stall(3000)}));
    s.pop.ReadTimeout = 300;
    s.pop.Connect(5000);
    EXPECT_EQ(MessageOf<ENetException>([&] { s.pop.GetMessageCount(); }), "Read Timeout");
}

TEST(Pop3, ConnectFailures) {
    TPOP3 pop;
    pop.Host = "no-such-host.invalid";
    EXPECT_EQ(MessageOf<ESocketError>([&] { pop.Connect(5000); }),
              "Socket Error # 11001\r\nHost not found.");
    EXPECT_FALSE(pop.IsConnected());
}

}  // namespace
}  // namespace kavrel
