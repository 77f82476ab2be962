// Accounts of every sign-in kind set up from the settings dialog and used against real
// servers: dovecot offering SCRAM-SHA-256 and XOAUTH2, the test authorization server behind its
// tokens, and the desktop keyring on a private session bus.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <sstream>

#include "core/command_line_check.h"
#include "core/oauth_accounts.h"
#include "core/secrets.h"
#include "desktop/keyring.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/keyring_session.h"
#include "tests/support/oauth_server.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/f_account_signin.h"
#include "ui/f_settings.h"

namespace kavrel {
namespace {

using namespace kavrel::test;

// Runs step on the modal dialog of type T once it is up.
template <typename T>
void WhenOpen(const std::function<void(T&)>& step) {
    QTimer::singleShot(0, [step] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        step(*dialog);
    });
}

void Choose(QComboBox* box, const QVariant& data) {
    box->setCurrentIndex(box->findData(data));
    ASSERT_GE(box->currentIndex(), 0) << data.toString().toStdString();
}

TEST_F(MainWindowTest, EverySignInKindIsSetUpInTheDialogCheckedAndDeletedFrom) {
    TKeyringSession keyring;
    SetSecrets(std::make_unique<TDesktopKeyring>());
    ForgetAllAccessTokens();
    TOAuthServer oauth;
    TDovecotServer dovecot({{"ann", "secret"}, {"bob", "not used"}}, {},
                           {true, oauth.Url("/introspect")});
    dovecot.AddMessage("ann", "From: carol@example.org\nSubject: Minutes\n\nbody\n");
    dovecot.AddMessage("bob", "From: dave@example.org\nSubject: Agenda\n\nbody\n");
    dovecot.AddMessage("bob", "From: erin@example.org\nSubject: Invoice\n\nbody\n");
    const std::string server = "127.0.0.1:" + std::to_string(dovecot.Port());
    // The browser is played by a script that follows the redirect to Kavrel's loopback port.
    const std::string browser = dir_ / "browser";
    WriteFile(browser,
              "#!/usr/bin/python3\nimport sys, urllib.request\n"
              "urllib.request.urlopen(sys.argv[1]).read()\n");
    ::chmod(browser.c_str(), 0755);
    TScopedEnv browserEnv("BROWSER", browser);
    auto window = Open(
        "[oauth-outlook]\nclientid=kavrel-test\nauthorize=" + oauth.Url("/authorize") +
        "\ntoken=" + oauth.Url("/token") + "\ndevice=" + oauth.Url("/device_authorization") + "\n");

    WhenOpen<TfSettings>([&](TfSettings& settings) {
        const auto none = QVariant(static_cast<int>(TSecurity::None));
        settings.txtServer1->setText(QString::fromStdString(server));
        settings.txtAcct1->setText("ann");
        settings.txtPass1->setText("secret");
        Choose(settings.cboSecurity1, none);
        settings.chkEnable1->setChecked(true);
        settings.txtAcct2->setText("bob");
        WhenOpen<TfAccountSignIn>([&](TfAccountSignIn& signIn) {
            Choose(signIn.cboProvider, "outlook");
            signIn.txtServer->setText(QString::fromStdString(server));
            signIn.radOAuth->setChecked(true);
            signIn.btnBrowser->click();
            EXPECT_EQ(signIn.labStatus->text().toStdString(), "Signed in as bob.");
            signIn.accept();
        });
        settings.btnSignIn2->click();
        EXPECT_FALSE(settings.txtPass2->isEnabled()) << "an OAuth account has no password";
        Choose(settings.cboSecurity2, none);
        settings.chkEnable2->setChecked(true);
        settings.btnClose->click();
    });
    window->actSettingsExecute();

    const TSecretKey bob{TSecretKind::RefreshToken, "bob", server};
    const std::optional<std::string> refresh = TDesktopKeyring().Lookup(bob);
    ASSERT_TRUE(refresh && !refresh->empty()) << "the refresh token lives in the keyring";
    const std::string ini = ReadFile(dir_ / "kavrel.ini");
    EXPECT_EQ(ini.find(*refresh), std::string::npos) << ini;
    EXPECT_NE(ini.find("signin2=oauth"), std::string::npos) << ini;

    Settings.ConfirmDelete = false;
    // A check whose own log lines hold text.
    const auto checkLogs = [&](const std::string& text) {
        window->CheckMail();
        const std::string log = window->LogText();
        return log.find(text, log.rfind("Checking accounts")) != std::string::npos;
    };
    window->CheckMail();
    const std::string log = window->LogText();
    // SCRAM proves the password without sending it; the token went in clear.
    EXPECT_NE(log.find("->ann ... 1 messages waiting.\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("->bob ... 2 messages waiting. (unencrypted)"), std::string::npos) << log;
    const auto agenda = std::ranges::find(MailList, std::string("Agenda"), &PW_MAIL::Subject);
    ASSERT_NE(agenda, MailList.end());
    window->DeleteMessage(std::int32_t(agenda - MailList.begin() + 1));
    EXPECT_NE(window->LogText().find("Deleting email Agenda ... message deleted"),
              std::string::npos)
        << window->LogText();
    EXPECT_EQ(oauth.Stats()["refresh_token"], 0) << "the sign-in's access token still serves";

    // The command line renews the token from the keyring and never opens a browser.
    ForgetAllAccessTokens();
    std::ostringstream out;
    RunCommandLineCheck({}, out);
    EXPECT_NE(out.str().find("->bob ... 1 messages waiting."), std::string::npos) << out.str();
    // The renewal spent the old refresh token: the next one works only with the rotated one.
    ForgetAllAccessTokens();
    EXPECT_TRUE(checkLogs("->bob ... 1 messages waiting.")) << window->LogText();
    EXPECT_EQ(oauth.Stats()["refresh_token"], 2);

    // A revoked sign-in says so once; later checks do not ask the provider again.
    oauth.Revoke("bob");
    ForgetAllAccessTokens();
    EXPECT_TRUE(checkLogs("->bob ... ERROR: OAuth: the sign-in of bob on " + server +
                          " was revoked or has expired: sign in again from Kavrel's Settings."))
        << window->LogText();
    EXPECT_FALSE(TDesktopKeyring().Lookup(bob));
    const int renewals = oauth.Stats()["refresh_token"];
    EXPECT_TRUE(checkLogs("OAuth: bob on " + server + " is not signed in")) << window->LogText();
    EXPECT_EQ(oauth.Stats()["refresh_token"], renewals);

    // Signing in again, with a code entered on another device this time.
    TfAccountSignIn again(window.get(), "bob",
                          {"outlook", TSignIn::OAuth, server, TSecurity::None});
    QTimer approve;
    QObject::connect(&approve, &QTimer::timeout, [&] {
        const QString status = again.labStatus->text();
        const qsizetype at = status.indexOf("enter the code ");
        if (at < 0) return;
        approve.stop();
        const QString code = status.mid(at + 15).chopped(1);
        EXPECT_EQ(oauth.Get("/device?login_hint=bob&user_code=" + code.toStdString()).status, 200);
    });
    approve.start(10);
    ASSERT_FALSE(again.btnCode->isHidden()) << "the provider signs in with a code";
    again.btnCode->click();
    EXPECT_EQ(again.labStatus->text().toStdString(), "Signed in as bob.");
    EXPECT_TRUE(checkLogs("->bob ... 1 messages waiting.")) << window->LogText();
    SetSecrets(nullptr);
}

}  // namespace
}  // namespace kavrel
