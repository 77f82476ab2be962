// The window against a real POP3 server: two mailboxes, a check and a deletion by the link,
// in plain text, over TLS from the first byte, and over STLS.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTabWidget>
#include <QTest>

#include "desktop/tray_text_icon.h"
#include "net/pop3/pop3.h"
#include "net/pop3/server_address.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/tap_relay.h"
#include "tests/support/test_authority.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/page_viewer.h"

namespace kavrel {
namespace {

using namespace kavrel::test;

// How the accounts write the server: the port's prefix and suffix around its number.
struct TServerForm {
    const char* name;
    const char* prefix;
    const char* suffix;
    bool implicit;
    bool secure;  // the server has a certificate and offers STLS
};

void PrintTo(const TServerForm& form, std::ostream* out) { *out << form.name; }

class CheckDovecot : public MainWindowTest, public testing::WithParamInterface<TServerForm> {
  protected:
    static void SetUpTestSuite() {
        authority_ = std::make_unique<TTestAuthority>();
        pair_ = authority_->IssueForLoopback();
    }
    static void TearDownTestSuite() { authority_.reset(); }

    void SetUp() override {
        server_.AddMessage("ann",
                           "From: Carol <carol@example.org>\nSubject: Minutes\n"
                           "Date: Tue, 15 Nov 1994 08:12:31 +0000\n\nbody\n");
        server_.AddMessage("ann", "From: dave@example.org\nSubject: Agenda\n\nbody\n");
        server_.AddMessage("bob", "From: <erin@example.org>\nSubject: Invoice\n\nbody\n");
        window = Open("");
        for (int slot : {1, 3}) {
            Settings.Active[slot] = true;
            Settings.Server[slot] = Host();
            Settings.Password[slot] = "secret";
        }
        Settings.Account[1] = "ann";
        Settings.Account[3] = "bob";
        Settings.ConfirmDelete = false;
    }

    std::string Host() const {
        const int port = GetParam().implicit ? server_.TlsPort() : server_.Port();
        return GetParam().prefix + std::to_string(port) + GetParam().suffix;
    }

    int CountOnServer(const std::string& user) {
        TPOP3 pop;
        SetServer(pop, Host());
        pop.Username = user;
        pop.Password = "secret";
        pop.Connect(10000);
        const int n = pop.GetMessageCount();
        pop.Disconnect();
        return n;
    }

    static std::unique_ptr<TTestAuthority> authority_;
    static TTestAuthority::TKeyPair pair_;
    TDovecotServer server_{
        TDovecotServer::TUsers{{"ann", "secret"}, {"bob", "secret"}},
        GetParam().secure ? TDovecotServer::TTls{pair_.cert, pair_.key} : TDovecotServer::TTls{}};
    std::unique_ptr<TfMain> window;
};

std::unique_ptr<TTestAuthority> CheckDovecot::authority_;
TTestAuthority::TKeyPair CheckDovecot::pair_;

INSTANTIATE_TEST_SUITE_P(
    , CheckDovecot,
    testing::Values(TServerForm{"Plain", "127.0.0.1:", "", false, false},
                    TServerForm{"Stls", "pop3://localhost:", "?tls=required", false, true},
                    TServerForm{"ImplicitTls", "pop3s://127.0.0.1:", "", true, true}),
    [](const testing::TestParamInfo<TServerForm>& info) { return info.param.name; });

TEST_P(CheckDovecot, CheckThenDeleteByTheLink) {
    window->resize(700, 400);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

    window->CheckMail();
    const std::string log = window->LogText();
    EXPECT_NE(log.find("\r\nChecking " + Host() + "->ann ... 2 messages waiting."),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\r\nChecking " + Host() + "->bob ... 1 messages waiting."),
              std::string::npos)
        << log;
    EXPECT_EQ(window->labMessages->text(), "3 messages waiting");
    EXPECT_EQ(MailList.size(), 3u);

    // Click the "delete" of the row that shows "Agenda".
    window->tabMain->setCurrentWidget(window->tabMessages);
    QCoreApplication::processEvents();
    int row = -1;
    for (const auto& box : window->html1->TextBoxes()) {
        if (box.text == "Agenda") row = box.row;
    }
    QRect link;
    for (const auto& box : window->html1->TextBoxes()) {
        if (box.text == "delete" && box.row == row) link = box.rect;
    }
    ASSERT_FALSE(link.isNull()) << "no delete link beside Agenda";
    QTest::mouseClick(window->html1->viewport(), Qt::LeftButton, {}, link.center());

    EXPECT_NE(window->LogText().find("\r\nDeleting email Agenda ... message deleted"),
              std::string::npos)
        << window->LogText();
    EXPECT_EQ(window->labMessages->text(), "2 messages waiting");
    EXPECT_EQ(CountOnServer("ann"), 1);
    EXPECT_EQ(CountOnServer("bob"), 1);

    // The next check finds what is left and nothing new.
    window->CheckMail();
    EXPECT_EQ(MailList.size(), 2u);
    EXPECT_EQ(window->txtTray->Hint().toStdString(), "2 (1/1) waiting");
}

// A man in the middle who strips STLS from the CAPA answer gets no password from an account
// that chose STARTTLS, nor from one that has logged in over TLS before; only "None" sends it,
// and its line says so.
TEST_F(MainWindowTest, NoPasswordInClearWithoutConsent) {
    TTestAuthority authority;
    const auto pair = authority.IssueForLoopback();
    TDovecotServer server(TDovecotServer::TUsers{{"ann", "secret"}, {"bob", "secret"}},
                          {pair.cert, pair.key});
    TTapRelay relay(server.Port());
    const auto window = Open("");
    const std::string host = "localhost:" + std::to_string(relay.Port());
    Settings.Active[1] = true;
    Settings.Server[1] = host;
    Settings.Password[1] = "secret";
    const auto check = [&](const char* user, TSecurity security) {
        Settings.Account[1] = user;
        Settings.Security[1] = security;
        window->CheckMail();
        const std::string log = window->LogText();
        return log.substr(log.find("\r\n"));
    };
    const std::string line = "\r\nChecking " + host + "->";

    EXPECT_EQ(check("ann", TSecurity::WhenOffered), line + "ann ... 0 messages waiting.");
    relay.StripSTLS = true;
    EXPECT_EQ(check("ann", TSecurity::WhenOffered),
              line +
                  "ann ... ERROR: TLS: the server no longer offers STLS, so the password was "
                  "kept back: this account has always logged in over TLS");
    EXPECT_EQ(check("bob", TSecurity::STARTTLS), line + "bob ... ERROR: " + kNoSTLSRequired);
    EXPECT_EQ(relay.ClientBytes().find("PASS"), std::string::npos) << "nothing in clear";

    EXPECT_EQ(check("bob", TSecurity::None), line + "bob ... 0 messages waiting. (unencrypted)");
    EXPECT_NE(relay.ClientBytes().find("PASS secret"), std::string::npos);
}

// An account whose server shows a bad certificate fails with the reason on its line; the
// account after it is checked as usual, and the window is left as after any check.
TEST_F(MainWindowTest, ACertificateFailureIsTheAccountsLogLine) {
    TTestAuthority authority;
    const auto expired = authority.Issue("IP:127.0.0.1,DNS:localhost", -1);
    const auto good = authority.IssueForLoopback();
    TDovecotServer stale(TDovecotServer::TUsers{{"ann", "secret"}}, {expired.cert, expired.key});
    TDovecotServer fine(TDovecotServer::TUsers{{"ann", "secret"}}, {good.cert, good.key});
    fine.AddMessage("ann", "From: dave@example.org\nSubject: Agenda\n\nbody\n");
    const auto window = Open("");
    const std::string bad = "pop3s://localhost:" + std::to_string(stale.TlsPort());
    const std::string ok = "localhost:" + std::to_string(fine.Port());
    for (int slot : {1, 2}) {
        Settings.Active[slot] = true;
        Settings.Server[slot] = slot == 1 ? bad : ok;
        Settings.Account[slot] = "ann";
        Settings.Password[slot] = "secret";
    }
    window->CheckMail();
    const std::string log = window->LogText();
    EXPECT_NE(log.find("\r\nChecking " + bad +
                       "->ann ... ERROR: TLS: certificate verify failed: certificate has expired"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\r\nChecking " + ok + "->ann ... 1 messages waiting."), std::string::npos)
        << log;
    EXPECT_EQ(MailList.size(), 1u);
    EXPECT_FALSE(window->Busy);
}

}  // namespace
}  // namespace kavrel
