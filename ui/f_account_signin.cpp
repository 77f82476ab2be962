#include "ui/f_account_signin.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "base/strings.h"
#include "config/providers.h"
#include "core/oauth_accounts.h"
#include "desktop/qt_text.h"
#include "desktop/web_browser.h"
#include "net/oauth/oauth_errors.h"

namespace kavrel {

TfAccountSignIn::TfAccountSignIn(QWidget* owner, const std::string& account, const TChoice& choice)
    : QDialog(owner), account_(Trim(account)), initial_(choice) {
    setWindowTitle(QStringLiteral("Provider and sign-in"));
    auto* layout = new QVBoxLayout(this);
    cboProvider = new QComboBox(this);
    cboProvider->setAccessibleName(QStringLiteral("Provider"));
    cboProvider->addItem(QStringLiteral("Other (as typed in Settings)"), QString());
    for (const TProvider& p : Providers()) {
        cboProvider->addItem(ToQString(p.Name), ToQString(p.Id));
    }
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("&Provider"), cboProvider);
    txtServer = new QLineEdit(ToQString(choice.Server), this);
    txtServer->setAccessibleName(QStringLiteral("POP Server"));
    fields->addRow(QStringLiteral("POP &Server"), txtServer);
    layout->addLayout(fields);
    labNote = new QLabel(this);
    labNote->setWordWrap(true);
    layout->addWidget(labNote);
    radPassword = new QRadioButton(QStringLiteral("Sign in with the password"), this);
    radOAuth = new QRadioButton(QStringLiteral("Sign in with the provider (OAuth 2.0)"), this);
    layout->addWidget(radPassword);
    layout->addWidget(radOAuth);
    auto* signInRow = new QHBoxLayout;
    btnBrowser = new QPushButton(QStringLiteral("Sign in in the &browser"), this);
    btnCode = new QPushButton(QStringLiteral("Sign in with a &code"), this);
    btnStop = new QPushButton(QStringLiteral("&Stop"), this);
    btnStop->setVisible(false);
    signInRow->addWidget(btnBrowser);
    signInRow->addWidget(btnCode);
    signInRow->addWidget(btnStop);
    signInRow->addStretch(1);
    layout->addLayout(signInRow);
    labStatus = new QLabel(this);
    labStatus->setWordWrap(true);
    labStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(labStatus);
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    setMinimumWidth(420);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(cboProvider, &QComboBox::currentIndexChanged, this, [this] {
        if (const TProvider* p = FindProvider(FromQString(cboProvider->currentData().toString())))
            txtServer->setText(ToQString(p->Server));
        ProviderChanged();
    });
    // The keyring is asked once the server is typed, not at every key.
    connect(txtServer, &QLineEdit::editingFinished, this, [this] { ShowSignedIn(); });
    connect(radOAuth, &QRadioButton::toggled, this, [this] { ProviderChanged(); });
    connect(btnBrowser, &QPushButton::clicked, this, [this] { SignIn(false); });
    connect(btnCode, &QPushButton::clicked, this, [this] { SignIn(true); });
    connect(btnStop, &QPushButton::clicked, this, [this] { stop_ = true; });

    {
        // The account's own server stays as it was stored.
        const QSignalBlocker quiet(cboProvider);
        cboProvider->setCurrentIndex(
            std::max(0, cboProvider->findData(ToQString(choice.Provider))));
        const QSignalBlocker once(radOAuth);  // the line below shows it all, once
        (choice.SignIn == TSignIn::OAuth ? radOAuth : radPassword)->setChecked(true);
    }
    ProviderChanged();
}

std::string TfAccountSignIn::ServerShown() const { return FromQString(txtServer->text()); }

TfAccountSignIn::TChoice TfAccountSignIn::Choice() const {
    TChoice c = initial_;
    c.Provider = FromQString(cboProvider->currentData().toString());
    c.Server = ServerShown();
    if (const TProvider* p = FindProvider(c.Provider)) c.Security = p->Security;
    c.SignIn = radOAuth->isChecked() && radOAuth->isEnabled() ? TSignIn::OAuth : TSignIn::Password;
    return c;
}

void TfAccountSignIn::ProviderChanged() {
    UpdateControls();
    if (!signingIn_) ShowSignedIn();
}

void TfAccountSignIn::UpdateControls() {
    const TProvider* p = FindProvider(FromQString(cboProvider->currentData().toString()));
    std::string note;
    std::string missing;
    TOAuthProvider service;
    if (p) {
        if (p->OAuth) {
            try {
                service = OAuthProviderOf(p->Id);
            } catch (const EOAuthError& e) {
                missing = e.what();
            }
        }
        note += p->PasswordAccepted ? "Password: " + p->PasswordNote + "." : p->PasswordNote + ".";
        if (!missing.empty()) note += "\n" + missing;
    }
    labNote->setText(ToQString(note));
    radPassword->setEnabled(!p || p->PasswordAccepted);
    radOAuth->setEnabled(p && p->OAuth && missing.empty());
    if (!radOAuth->isEnabled() && radOAuth->isChecked()) radPassword->setChecked(true);
    const bool oauth = radOAuth->isEnabled() && radOAuth->isChecked();
    btnBrowser->setVisible(radOAuth->isEnabled());
    btnBrowser->setEnabled(oauth && !signingIn_);
    btnCode->setVisible(oauth && !service.DeviceAuthorizationEndpoint.empty());
    btnCode->setEnabled(!signingIn_);
}

void TfAccountSignIn::ShowSignedIn() {
    if (!radOAuth->isEnabled() || !radOAuth->isChecked()) return labStatus->clear();
    if (account_.empty()) {
        return labStatus->setText(QStringLiteral("Type the account's login in Settings first."));
    }
    try {
        const bool in = IsSignedIn({TSecretKind::RefreshToken, account_, Trim(ServerShown())});
        labStatus->setText(ToQString(in ? "Signed in as " + account_ + "."
                                        : "Not signed in yet: sign in with one of the buttons."));
    } catch (const std::exception& e) {
        labStatus->setText(ToQString(e.what()));
    }
}

void TfAccountSignIn::SignIn(bool withCode) {
    if (signingIn_ || account_.empty()) return ShowSignedIn();
    const std::string id = FromQString(cboProvider->currentData().toString());
    signingIn_ = true;
    stop_ = false;
    btnStop->setVisible(true);
    buttons->setEnabled(false);
    cboProvider->setEnabled(false);
    txtServer->setEnabled(false);
    UpdateControls();
    labStatus->setText(withCode ? QStringLiteral("Asking the provider for a code...")
                                : QStringLiteral("Waiting for the sign-in in the browser..."));
    // The window stays alive while the provider is waited for; Stop ends the wait.
    const TOAuthWaitHook hook = [this] {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (stop_) throw EOAuthError("OAuth: the sign-in was stopped.");
    };
    try {
        const TOAuthProvider provider = OAuthProviderOf(id);
        const TOAuthTokens tokens =
            withCode ? SignInWithDeviceCode(
                           provider,
                           [this](const std::string& code, const std::string& uri) {
                               labStatus->setText(ToQString("On any device, open " + uri +
                                                            " and enter the code " + code + "."));
                           },
                           hook)
                     : SignInWithBrowser(provider, account_, OpenInBrowser, hook);
        KeepSignIn({TSecretKind::RefreshToken, account_, Trim(ServerShown())}, tokens);
        signingIn_ = false;
        ShowSignedIn();
    } catch (const std::exception& e) {
        signingIn_ = false;
        labStatus->setText(ToQString(e.what()));
    }
    btnStop->setVisible(false);
    buttons->setEnabled(true);
    cboProvider->setEnabled(true);
    txtServer->setEnabled(true);
    UpdateControls();
}

void TfAccountSignIn::done(int result) {
    // Closing while the provider is waited for stops the wait first.
    if (signingIn_) {
        stop_ = true;
        return;
    }
    QDialog::done(result);
}

}  // namespace kavrel
