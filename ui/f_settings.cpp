#include "ui/f_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <algorithm>
#include <iterator>
#include <utility>

#include "base/strings.h"
#include "config/settings.h"
#include "config/u_globals.h"
#include "config/utils.h"
#include "core/secrets.h"
#include "desktop/qt_text.h"
#include "net/pop3/server_address.h"
#include "ui/f_account_signin.h"
#include "ui/file_name_edit.h"
#include "ui/placement_store.h"
#include "ui/spin_edit.h"

namespace kavrel {
namespace {

// Columns of the account grid, with their designed widths.
enum TColumn {
    kServerCol,
    kAccountCol,
    kPasswordCol,
    kSecurityCol,
    kEnabledCol,
    kSignInCol,
    kColumns
};
constexpr int kColumnWidth[kColumns] = {145, 137, 121, 150, 49, 30};

// The choices of the "Security" column, in their order.
constexpr std::pair<TSecurity, const char*> kSecurityChoices[] = {
    {TSecurity::TLS, "TLS"},
    {TSecurity::STARTTLS, "STARTTLS"},
    {TSecurity::WhenOffered, "STARTTLS when offered"},
    {TSecurity::None, "None"},
};

// What a row shows before the user chooses: a new account starts at TLS; an account from a
// settings file written before the choice existed shows what its server's text means.
TSecurity ShownSecurity(TSecurity stored, const std::string& server) {
    if (stored != TSecurity::Auto) return stored;
    if (Trim(server).empty()) return TSecurity::TLS;
    switch (ServerAddressOf(server).TLS) {
        case TTLSMode::tmImplicit:
            return TSecurity::TLS;
        case TTLSMode::tmRequired:
            return TSecurity::STARTTLS;
        case TTLSMode::tmNone:
            return TSecurity::None;
        case TTLSMode::tmWhenOffered:
            break;
    }
    return TSecurity::WhenOffered;
}
constexpr int kHeadingRow = 9;

// The heading captions and the strip behind the "Enabled" boxes share the button-highlight
// colour of the desktop.
void UseHighlightBackground(QWidget* w) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Light));
    w->setPalette(palette);
    w->setAutoFillBackground(true);
}

QLabel* Heading(QWidget* parent, const char* caption) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    UseHighlightBackground(label);
    label->setIndent(3);
    return label;
}

QLabel* FieldLabel(QWidget* parent, const char* caption) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setIndent(4);
    return label;
}

bool HoldsText(const QLineEdit* box) { return !Trim(FromQString(box->text())).empty(); }

QPointer<TfSettings>& OpenDialog() {
    static QPointer<TfSettings> open;
    return open;
}

}  // namespace

TfSettings::TfSettings(QWidget* owner) : QDialog(owner) {
    CreateControls();
    FormCreate();
}

TfSettings::~TfSettings() { fp->FormDestroy(); }

void TfSettings::CreateControls() {
    setWindowTitle(QStringLiteral("Settings"));
    // A fixed dialog frame: no resizing, no minimize or maximize box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(12, 8, 8, 8);
    grid->setHorizontalSpacing(0);
    grid->setVerticalSpacing(2);
    for (int c = 0; c < kColumns; ++c) grid->setColumnMinimumWidth(c, kColumnWidth[c]);

    // Created in tab order, so that the focus chain follows the layout of the window.
    chkStartWithWindows = new QCheckBox(QStringLiteral("Start at login"), this);
    grid->addWidget(chkStartWithWindows, 0, kAccountCol, 1, 3);

    grid->addWidget(FieldLabel(this, "Check every"), 1, kServerCol);
    auto* intervalRow = new QHBoxLayout;
    intervalRow->setSpacing(4);
    txtCheckInterval = new TSpinEdit(1, 120, this);
    txtCheckInterval->SetValue(5);
    txtCheckInterval->setFixedWidth(std::max(
        49, txtCheckInterval->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 32));
    intervalRow->addWidget(txtCheckInterval);
    intervalRow->addWidget(new QLabel(QStringLiteral("minutes"), this));
    intervalRow->addStretch(1);
    grid->addLayout(intervalRow, 1, kAccountCol, 1, 3);

    chkUnhide = new QCheckBox(QStringLiteral("Pop-up Kavrel when new mail arrives"), this);
    grid->addWidget(chkUnhide, 2, kAccountCol, 1, 3);

    chkNotify = new QCheckBox(QStringLiteral("Show a notification for new mail"), this);
    chkNotify->setChecked(true);
    grid->addWidget(chkNotify, 3, kAccountCol, 1, 3);

    grid->addWidget(FieldLabel(this, "Mail program"), 4, kServerCol);
    txtMailProgram = new TFileNameEdit(this);
    txtMailProgram->DialogTitle = QStringLiteral("Select your mail program");
    txtMailProgram->Filter = QStringLiteral("Programs (*)");
    txtMailProgram->setMinimumWidth(205);
    grid->addWidget(txtMailProgram, 4, kAccountCol, 1, 2);

    chkAutoLaunch = new QCheckBox(QStringLiteral("Start this program when new mail arrives"), this);
    grid->addWidget(chkAutoLaunch, 5, kAccountCol, 1, 3);

    grid->addWidget(FieldLabel(this, "New mail sound"), 6, kServerCol);
    txtSound = new TFileNameEdit(this);
    txtSound->DialogTitle = QStringLiteral("Select your mail program");
    txtSound->Filter = QStringLiteral("Wave Files (*.wav)");
    txtSound->DefaultExt = QStringLiteral("wav");
    txtSound->setMinimumWidth(205);
    grid->addWidget(txtSound, 6, kAccountCol, 1, 2);

    chkConfirmDelete =
        new QCheckBox(QStringLiteral("Show message box confirming deletions."), this);
    chkConfirmDelete->setChecked(true);
    grid->addWidget(chkConfirmDelete, 7, kAccountCol, 1, 3);
    grid->setRowMinimumHeight(8, 8);
    grid->setRowStretch(8, 1);

    // The strip goes in first so that it lies behind the boxes of its column.
    auto* strip = new QWidget(this);
    UseHighlightBackground(strip);
    grid->addWidget(strip, kHeadingRow, kEnabledCol, 5, 1);
    grid->addWidget(Heading(this, "POP Server"), kHeadingRow, kServerCol);
    grid->addWidget(Heading(this, "Account Login"), kHeadingRow, kAccountCol);
    grid->addWidget(Heading(this, "Password"), kHeadingRow, kPasswordCol);
    grid->addWidget(Heading(this, "Security"), kHeadingRow, kSecurityCol);
    grid->addWidget(Heading(this, "Enabled"), kHeadingRow, kEnabledCol);

    QLineEdit** servers[] = {&txtServer1, &txtServer2, &txtServer3, &txtServer4};
    QLineEdit** accounts[] = {&txtAcct1, &txtAcct2, &txtAcct3, &txtAcct4};
    QLineEdit** passwords[] = {&txtPass1, &txtPass2, &txtPass3, &txtPass4};
    QComboBox** securities[] = {&cboSecurity1, &cboSecurity2, &cboSecurity3, &cboSecurity4};
    QCheckBox** enables[] = {&chkEnable1, &chkEnable2, &chkEnable3, &chkEnable4};
    QPushButton** signIns[] = {&btnSignIn1, &btnSignIn2, &btnSignIn3, &btnSignIn4};
    for (int i = 0; i < kAccountCount; ++i) {
        const int row = kHeadingRow + 1 + i;
        const QString number = QString::number(i + 1);
        *servers[i] = new QLineEdit(this);
        (*servers[i])->setAccessibleName(QStringLiteral("POP Server ") + number);
        *accounts[i] = new QLineEdit(this);
        (*accounts[i])->setAccessibleName(QStringLiteral("Account Login ") + number);
        *passwords[i] = new QLineEdit(this);
        (*passwords[i])->setAccessibleName(QStringLiteral("Password ") + number);
        // Hidden characters show as "*", whatever the style's own choice.
        (*passwords[i])->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
        *securities[i] = new QComboBox(this);
        (*securities[i])->setAccessibleName(QStringLiteral("Security ") + number);
        for (const auto& [security, caption] : kSecurityChoices) {
            (*securities[i])->addItem(QString::fromUtf8(caption), static_cast<int>(security));
        }
        *enables[i] = new QCheckBox(this);
        (*enables[i])->setAccessibleName(QStringLiteral("Enabled ") + number);
        (*enables[i])->setEnabled(false);
        grid->addWidget(*servers[i], row, kServerCol);
        grid->addWidget(*accounts[i], row, kAccountCol);
        grid->addWidget(*passwords[i], row, kPasswordCol);
        grid->addWidget(*securities[i], row, kSecurityCol);
        grid->addWidget(*enables[i], row, kEnabledCol, Qt::AlignCenter);
        *signIns[i] = new QPushButton(QStringLiteral("..."), this);
        (*signIns[i])->setAccessibleName(QStringLiteral("Provider and sign-in ") + number);
        (*signIns[i])->setToolTip(QStringLiteral("Provider and sign-in"));
        (*signIns[i])->setFixedWidth(kColumnWidth[kSignInCol] - 2);
        grid->addWidget(*signIns[i], row, kSignInCol);
        connect(*signIns[i], &QPushButton::clicked, this, [this, i] { btnSignInClick(i + 1); });
        connect(*servers[i], &QLineEdit::textChanged, this, &TfSettings::txtServer1Change);
        connect(*accounts[i], &QLineEdit::textChanged, this, &TfSettings::txtServer1Change);
    }

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    grid->setRowMinimumHeight(kHeadingRow + 5, 6);
    grid->addWidget(line, kHeadingRow + 6, kServerCol, 1, kColumns);

    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setMinimumWidth(75);
    btnClose->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &TfSettings::btnCloseClick);
    chkVisiblePass = new QCheckBox(QStringLiteral("Make passwords visible"), this);
    connect(chkVisiblePass, &QCheckBox::toggled, this, &TfSettings::chkVisiblePassClick);
    grid->addWidget(chkVisiblePass, kHeadingRow + 7, kServerCol, 1, 2);
    grid->addWidget(btnClose, kHeadingRow + 7, kSecurityCol, 1, 2, Qt::AlignRight);
    chkKeyringPasswords =
        new QCheckBox(QStringLiteral("Keep passwords in the desktop keyring"), this);
    grid->addWidget(chkKeyringPasswords, kHeadingRow + 8, kServerCol, 1, 3);
    labKeyring = new QLabel(this);
    labKeyring->setWordWrap(true);
    labKeyring->setVisible(false);
    grid->addWidget(labKeyring, kHeadingRow + 9, kServerCol, 1, kColumns);

    QWidget* const order[] = {chkStartWithWindows,
                              txtCheckInterval,
                              chkUnhide,
                              chkNotify,
                              txtMailProgram,
                              chkAutoLaunch,
                              txtSound,
                              chkConfirmDelete,
                              txtServer1,
                              txtAcct1,
                              txtPass1,
                              cboSecurity1,
                              chkEnable1,
                              btnSignIn1,
                              txtServer2,
                              txtAcct2,
                              txtPass2,
                              cboSecurity2,
                              chkEnable2,
                              btnSignIn2,
                              txtServer3,
                              txtAcct3,
                              txtPass3,
                              cboSecurity3,
                              chkEnable3,
                              btnSignIn3,
                              txtServer4,
                              txtAcct4,
                              txtPass4,
                              cboSecurity4,
                              chkEnable4,
                              btnSignIn4,
                              btnClose,
                              chkVisiblePass,
                              chkKeyringPasswords};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    // The designed size, or more where the desktop's font needs the room.
    setFixedSize(sizeHint().expandedTo(QSize(kClientWidth, kClientHeight)));
}

void TfSettings::FormCreate() {
    fp = new TPlacementStore(this, TPlacementStore::fpState | TPlacementStore::fpPosition);
    fp->IniFileName = IniPath;
    fp->Active = true;
    SettingsToControls();
}

TfSettings::TAccountRow TfSettings::Row(int n) const {
    switch (n) {
        case 1:
            return {txtServer1, txtAcct1, txtPass1, cboSecurity1, chkEnable1};
        case 2:
            return {txtServer2, txtAcct2, txtPass2, cboSecurity2, chkEnable2};
        case 3:
            return {txtServer3, txtAcct3, txtPass3, cboSecurity3, chkEnable3};
        default:
            return {txtServer4, txtAcct4, txtPass4, cboSecurity4, chkEnable4};
    }
}

void TfSettings::SettingsToControls() {
    PW_SETTINGS_TYPE& s = Settings;
    s.NewMailWave = StripQuotes(s.NewMailWave);
    for (int n = 1; n <= kAccountCount; ++n) Row(n).Enabled->setChecked(s.Active[n]);
    for (int n = 1; n <= kAccountCount; ++n) Row(n).Server->setText(ToQString(s.Server[n]));
    for (int n = 1; n <= kAccountCount; ++n) Row(n).Account->setText(ToQString(s.Account[n]));
    std::string keyringError;
    for (int n = 1; n <= kAccountCount; ++n) {
        provider_[n] = s.Provider[n];
        signIn_[n] = s.SignIn[n];
        ShowSignIn(n);
        if (s.SignIn[n] == TSignIn::OAuth) continue;
        // A keyring that failed once is not asked again: each try may wait for it.
        try {
            Row(n).Password->setText(
                ToQString(keyringError.empty() ? PasswordOf(n) : s.Password[n]));
        } catch (const ESecretStoreError& e) {
            Row(n).Password->setText(ToQString(s.Password[n]));
            keyringError = e.what();
        }
    }
    // Whatever is typed now replaces the keyring's password; an empty box keeps it.
    labKeyring->setText(
        ToQString(keyringError + " A password left empty keeps what the keyring holds."));
    labKeyring->setVisible(!keyringError.empty());
    for (int n = 1; n <= kAccountCount; ++n) {
        QComboBox* box = Row(n).Security;
        box->setCurrentIndex(
            box->findData(static_cast<int>(ShownSecurity(s.Security[n], s.Server[n]))));
    }
    chkStartWithWindows->setChecked(s.StartWithWindows);
    txtCheckInterval->SetValue(s.CheckInterval);
    chkVisiblePass->setChecked(s.VisiblePassword);
    chkAutoLaunch->setChecked(s.LaunchOnNewMail);
    chkUnhide->setChecked(s.ShowOnNewMail);
    chkNotify->setChecked(s.NotifyOnNewMail);
    chkConfirmDelete->setChecked(s.ConfirmDelete);
    chkKeyringPasswords->setChecked(s.PasswordsInKeyring);
    txtServer1Change();
    chkVisiblePassClick();
    txtMailProgram->setText(ToQString(s.MailProgram));
    txtSound->setText(ToQString(s.NewMailWave));
}

void TfSettings::ControlsToSettings() {
    PW_SETTINGS_TYPE& s = Settings;
    s.MailProgram = FromQString(txtMailProgram->text());
    s.NewMailWave = StripQuotes(FromQString(txtSound->text()));
    for (int n = 1; n <= kAccountCount; ++n) {
        const TAccountRow row = Row(n);
        s.Active[n] = row.Enabled->isEnabled() && row.Enabled->isChecked();
    }
    for (int n = 1; n <= kAccountCount; ++n) {
        const TAccountRow row = Row(n);
        s.Server[n] = FromQString(row.Server->text());
        s.Account[n] = FromQString(row.Account->text());
        s.Password[n] = FromQString(row.Password->text());
        s.Security[n] = static_cast<TSecurity>(row.Security->currentData().toInt());
        s.Provider[n] = provider_[n];
        s.SignIn[n] = signIn_[n];
    }
    s.StartWithWindows = chkStartWithWindows->isChecked();
    s.CheckInterval = txtCheckInterval->Value();
    s.VisiblePassword = chkVisiblePass->isChecked();
    s.LaunchOnNewMail = chkAutoLaunch->isChecked();
    s.ShowOnNewMail = chkUnhide->isChecked();
    s.NotifyOnNewMail = chkNotify->isChecked();
    s.ConfirmDelete = chkConfirmDelete->isChecked();
    s.PasswordsInKeyring = chkKeyringPasswords->isChecked();
}

void TfSettings::txtServer1Change() {
    for (int n = 1; n <= kAccountCount; ++n) {
        const TAccountRow row = Row(n);
        // Disabling keeps the tick; ControlsToSettings saves such a row as inactive.
        row.Enabled->setEnabled(HoldsText(row.Server) && HoldsText(row.Account));
    }
}

void TfSettings::chkVisiblePassClick() {
    const auto mode = chkVisiblePass->isChecked() ? QLineEdit::Normal : QLineEdit::Password;
    for (int n = 1; n <= kAccountCount; ++n) Row(n).Password->setEchoMode(mode);
}

void TfSettings::btnCloseClick() { reject(); }

void TfSettings::btnSignInClick(int n) {
    const TAccountRow row = Row(n);
    TfAccountSignIn::TChoice choice;
    choice.Provider = provider_[n];
    choice.SignIn = signIn_[n];
    choice.Server = FromQString(row.Server->text());
    choice.Security = static_cast<TSecurity>(row.Security->currentData().toInt());
    TfAccountSignIn dialog(this, FromQString(row.Account->text()), choice);
    if (dialog.exec() != QDialog::Accepted) return;
    choice = dialog.Choice();
    provider_[n] = choice.Provider;
    signIn_[n] = choice.SignIn;
    row.Server->setText(ToQString(choice.Server));
    row.Security->setCurrentIndex(row.Security->findData(static_cast<int>(choice.Security)));
    ShowSignIn(n);
}

void TfSettings::ShowSignIn(int n) {
    const TAccountRow row = Row(n);
    const bool oauth = signIn_[n] == TSignIn::OAuth;
    row.Password->setEnabled(!oauth);
    row.Password->setPlaceholderText(oauth ? QStringLiteral("OAuth 2.0") : QString());
    if (oauth) row.Password->clear();
}

void TfSettings::done(int result) {
    // Every way of closing ends here while the window is still on the screen.
    fp->FormClose();
    QDialog::done(result);
}

void TfSettings::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) CentreOnScreen(*this);
    QDialog::showEvent(event);
}

bool RunSettingsDialog(QWidget* owner) {
    // The tray menu stays usable while the dialog is open: a second dialog would save its
    // own copy of the values over the first one's.
    if (const QPointer<TfSettings>& open = OpenDialog(); open) {
        open->raise();
        open->activateWindow();
        return false;
    }
    TfSettings dialog(owner);
    OpenDialog() = &dialog;
    dialog.exec();
    OpenDialog() = nullptr;
    const bool wereInKeyring = Settings.PasswordsInKeyring;
    dialog.ControlsToSettings();
    SaveSettingsAndSecrets(wereInKeyring);
    return true;
}

}  // namespace kavrel
