#pragma once

#include <QDialog>

#include <string>

#include "config/settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kavrel {

class TFileNameEdit;
class TPlacementStore;
class TSpinEdit;

// The settings dialog: the four accounts and the options of Settings. There is no cancel:
// however it is closed, the values are saved.
class TfSettings : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kClientWidth = 469;
    static constexpr int kClientHeight = 299;

    explicit TfSettings(QWidget* owner = nullptr);
    ~TfSettings() override;

    void SettingsToControls();
    void ControlsToSettings();
    // The enable rule: a row's "Enabled" box is usable only with a server and a login.
    void txtServer1Change();
    void chkVisiblePassClick();
    void btnCloseClick();

    QCheckBox* chkStartWithWindows;
    TSpinEdit* txtCheckInterval;
    QCheckBox* chkUnhide;
    QCheckBox* chkNotify;
    TFileNameEdit* txtMailProgram;
    QCheckBox* chkAutoLaunch;
    TFileNameEdit* txtSound;
    QCheckBox* chkConfirmDelete;
    QLineEdit* txtServer1;
    QLineEdit* txtAcct1;
    QLineEdit* txtPass1;
    QComboBox* cboSecurity1;
    QCheckBox* chkEnable1;
    QLineEdit* txtServer2;
    QLineEdit* txtAcct2;
    QLineEdit* txtPass2;
    QComboBox* cboSecurity2;
    QCheckBox* chkEnable2;
    QLineEdit* txtServer3;
    QLineEdit* txtAcct3;
    QLineEdit* txtPass3;
    QComboBox* cboSecurity3;
    QCheckBox* chkEnable3;
    QLineEdit* txtServer4;
    QLineEdit* txtAcct4;
    QLineEdit* txtPass4;
    QComboBox* cboSecurity4;
    QCheckBox* chkEnable4;
    // "Provider and sign-in" of each row.
    QPushButton* btnSignIn1;
    QPushButton* btnSignIn2;
    QPushButton* btnSignIn3;
    QPushButton* btnSignIn4;
    QPushButton* btnClose;
    QCheckBox* chkVisiblePass;
    QCheckBox* chkKeyringPasswords;
    // Why the passwords kept in the keyring could not be shown; hidden when they could.
    QLabel* labKeyring;
    TPlacementStore* fp;

    // The boxes of account row n (1 to 4).
    struct TAccountRow {
        QLineEdit* Server;
        QLineEdit* Account;
        QLineEdit* Password;
        QComboBox* Security;
        QCheckBox* Enabled;
    };
    TAccountRow Row(int n) const;

  protected:
    void done(int result) override;
    void showEvent(QShowEvent* event) override;

  private:
    void CreateControls();
    void FormCreate();
    void btnSignInClick(int n);
    // A row that signs in with OAuth has no password to type.
    void ShowSignIn(int n);

    // The provider and sign-in of each row, as chosen with its button.
    TAccountSlots<std::string> provider_;
    TAccountSlots<TSignIn> signIn_;
};

// Shows the dialog modally over owner, then copies its values into Settings and saves them.
// While one is open a second call only brings it forward and returns false. Errors of the
// save travel on to the caller.
bool RunSettingsDialog(QWidget* owner);

}  // namespace kavrel
