#pragma once

#include <QDialog>

#include <string>

#include "config/settings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QDialogButtonBox;

namespace kavrel {

// The provider and the sign-in of one account: a provider fills in its server and security
// and says what must be set up on its side; one that takes OAuth 2.0 is signed in to here, in
// the browser or with a code entered on another device, the refresh token going to the
// desktop keyring.
class TfAccountSignIn : public QDialog {
    Q_OBJECT

  public:
    struct TChoice {
        std::string Provider;  // a preset's id, "" for none
        TSignIn SignIn = TSignIn::Password;
        std::string Server;
        TSecurity Security = TSecurity::TLS;
    };

    TfAccountSignIn(QWidget* owner, const std::string& account, const TChoice& choice);

    TChoice Choice() const;

    QComboBox* cboProvider;
    // The provider's server, which some users need to change (a country's own server).
    QLineEdit* txtServer;
    QLabel* labNote;
    QRadioButton* radPassword;
    QRadioButton* radOAuth;
    QPushButton* btnBrowser;
    QPushButton* btnCode;
    QPushButton* btnStop;
    QLabel* labStatus;
    QDialogButtonBox* buttons;

  protected:
    void done(int result) override;

  private:
    // The note, the choices and the buttons for the provider; then, unless a sign-in runs,
    // what the keyring says.
    void ProviderChanged();
    void UpdateControls();
    void SignIn(bool withCode);
    void ShowSignedIn();
    std::string ServerShown() const;

    std::string account_;
    TChoice initial_;
    bool signingIn_ = false;
    bool stop_ = false;
};

}  // namespace kavrel
