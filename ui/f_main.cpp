#include "ui/f_main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHideEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <climits>
#include <exception>
#include <filesystem>
#include <stdexcept>

#include "base/date_time.h"
#include "base/integer.h"
#include "base/strings.h"
#include "config/u_globals.h"
#include "core/check_cycle.h"
#include "core/delete_link.h"
#include "core/message_deletion.h"
#include "core/message_page.h"
#include "core/start_arguments.h"
#include "desktop/desktop_notifier.h"
#include "desktop/f_about.h"
#include "desktop/qt_text.h"
#include "desktop/shell_open.h"
#include "desktop/tray_text_icon.h"
#include "ui/f_settings.h"
#include "ui/message_seam.h"
#include "ui/page_viewer.h"
#include "ui/palette_colors.h"
#include "ui/placement_store.h"
#include "ui/program_icon.h"
#include "ui/status_panel.h"
#include "update/update_check.h"
#include "update/update_hosts.h"

namespace kavrel {
namespace {

// Raised from a network wait once the program is ending; whatever catches it, the operation
// is over.
class EProgramEnding : public std::runtime_error {
  public:
    EProgramEnding() : std::runtime_error("Abandoned: the program is ending.") {}
};

// The command images, by the index each action gives: the desktop's icon theme first, the
// style's own pictures where the theme has none.
QIcon ActionImage(int index) {
    struct TImage {
        const char* theme;
        QStyle::StandardPixmap fallback;
    };
    static constexpr TImage kImages[] = {
        {"application-exit", QStyle::SP_DialogCloseButton},
        {"go-down", QStyle::SP_TitleBarMinButton},
        {"preferences-system", QStyle::SP_FileDialogDetailedView},
        {"mail-receive", QStyle::SP_BrowserReload},
        {"mail-client", QStyle::SP_DirOpenIcon},
    };
    const TImage& image = kImages[index];
    return QIcon::fromTheme(image.theme, QApplication::style()->standardIcon(image.fallback));
}

// A grey that the tray's text colour stands out from as well as from the highlight.
QColor UncertainBackground() {
    const QColor text =
        QGuiApplication::palette().color(QPalette::Active, QPalette::HighlightedText);
    return text.lightness() > 127 ? QColor(0x5A, 0x5A, 0x5A) : QColor(0xC8, 0xC8, 0xC8);
}

// The settings dialog may hand back a number typed outside 1 to 120: 0 or less would make the
// timer fire without a pause, and a large one would overflow the milliseconds.
int TimerInterval(std::int32_t minutes) {
    return static_cast<int>(std::clamp<std::int64_t>(minutes, 1, INT_MAX / 60000) * 60000);
}

std::vector<std::string> ToStrings(const QStringList& list) {
    std::vector<std::string> out;
    for (const QString& s : list) out.push_back(s.toStdString());
    return out;
}

}  // namespace

TfMain::TfMain(const QStringList& arguments, QWidget* parent,
               const std::function<std::string()>& initGlobals)
    : QMainWindow(parent) {
    CreateActions();
    CreateWidgets();
    CreateMenus();
    FormCreate(arguments, initGlobals);
}

TfMain::~TfMain() { fp->FormDestroy(); }

void TfMain::CreateActions() {
    auto make = [this](const char* caption, const char* hint, int image, QKeySequence shortcut,
                       void (TfMain::*command)()) {
        auto* action = new QAction(QString::fromUtf8(caption), this);
        if (hint != nullptr) {
            action->setStatusTip(QString::fromUtf8(hint));
            action->setToolTip(QString::fromUtf8(hint));
        }
        if (image >= 0) action->setIcon(ActionImage(image));
        if (!shortcut.isEmpty()) {
            action->setShortcut(shortcut);
            action->setShortcutContext(Qt::ApplicationShortcut);
        }
        if (command != nullptr) {
            connect(action, &QAction::triggered, this, [this, command] { Guarded(command); });
        }
        return action;
    };
    actExit =
        make("E&xit", "Exit this application", 0, QKeySequence(Qt::CTRL | Qt::Key_Q), nullptr);
    connect(actExit, &QAction::triggered, this, &TfMain::BeginEnding);
    connect(actExit, &QAction::triggered, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    actHide = make("&Hide to Tray", "Hide to system tray", 1, QKeySequence(Qt::CTRL | Qt::Key_H),
                   nullptr);
    actSettings = make("&Settings", "Alter program settings", 2, QKeySequence(Qt::CTRL | Qt::Key_S),
                       &TfMain::actSettingsExecute);
    actCheck = make("Check &Now", "Check for new mail right now", 3,
                    QKeySequence(Qt::CTRL | Qt::Key_N), &TfMain::actCheckExecute);
    actAbout = make("&About", "About this software", -1, {}, &TfMain::actAboutExecute);
    actShow = make("Sho&w", nullptr, -1, {}, nullptr);
    actExternalMail = make("&Launch Mail Program", "Launch external mail program", 4,
                           QKeySequence(Qt::CTRL | Qt::Key_L), &TfMain::actExternalMailExecute);
    actUpdate = make("Check for &Updates", "Check with Vell's website for a new version of Kavrel",
                     -1, {}, &TfMain::actUpdateExecute);
}

void TfMain::CreateWidgets() {
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    labCheckInterval = new QLabel(QStringLiteral("Checking every 5 minutes"));
    labLastChecked = new QLabel(QStringLiteral("Last Checked: n/a"));
    labMessages = new QLabel;
    QFont bold = labMessages->font();
    bold.setBold(true);
    labMessages->setFont(bold);
    Panel1 = new TStatusPanel(labCheckInterval, labMessages, labLastChecked, central);
    layout->addWidget(Panel1);

    tabMain = new QTabWidget(central);
    tabStatus = new QWidget;
    auto* statusLayout = new QVBoxLayout(tabStatus);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    txtStats = new QPlainTextEdit(tabStatus);
    txtStats->setReadOnly(true);
    txtStats->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette logPalette = txtStats->palette();
    logPalette.setColor(QPalette::Base, logPalette.color(QPalette::Light));
    txtStats->setPalette(logPalette);
    statusLayout->addWidget(txtStats);
    tabMain->addTab(tabStatus, QStringLiteral("Pop Status"));

    tabMessages = new QWidget;
    auto* messagesLayout = new QVBoxLayout(tabMessages);
    messagesLayout->setContentsMargins(0, 0, 0, 0);
    html1 = new TPageViewer(tabMessages);
    html1->setFrameShape(QFrame::NoFrame);
    html1->OnHotSpotClick = [this](TPageViewer* sender, const std::string& src, bool& handled) {
        html1HotSpotClick(sender, src, handled);
    };
    messagesLayout->addWidget(html1);
    tabMain->addTab(tabMessages, QStringLiteral("Messages"));
    tabMain->setCurrentIndex(0);
    layout->addWidget(tabMain, 1);
    setCentralWidget(central);

    pbProgress = new QProgressBar;
    pbProgress->setRange(0, 100);
    pbProgress->setFixedWidth(185);
    pbProgress->setTextVisible(false);
    pbProgress->hide();
    labProgress = new QLabel;
    labProgress->setFixedWidth(245);
    labProgress->hide();
    statusBar()->addWidget(pbProgress);
    statusBar()->addWidget(labProgress);
    statusBar()->setSizeGripEnabled(true);

    Timer1 = new QTimer(this);
    connect(Timer1, &QTimer::timeout, this, [this] { Guarded(&TfMain::Timer1Timer); });

    txtTray = new TTrayTextIcon(this, this);
    txtTray->SetFontColor(TColorRef::System(QPalette::HighlightedText));
    txtTray->SetColor(TColorRef::System(QPalette::Highlight));
    txtTray->SetMinimizeToTray(true);
    txtTray->OnClick = [this] { txtTray->ShowMainWindow(); };
    connect(actHide, &QAction::triggered, this, [this] { txtTray->HideMainWindow(); });
    connect(actShow, &QAction::triggered, this, [this] { txtTray->ShowMainWindow(); });

    notifier = new TDesktopNotifier(this);
    notifier->OnShowWindow = [this] { ShowMainWindow(); };
    // Without a mail program of its own the user has the desktop's, the one mailto: opens.
    notifier->OnOpenMailProgram = [this] {
        std::error_code error;
        const std::string& program = Settings.MailProgram;
        OpenWithShell(std::filesystem::is_regular_file(program, error) ? program : "mailto:");
    };
    notifier->OnUnavailable = [this](const std::string& line) { AppendLog(line); };

    // The network calls block; their progress and status events keep the window alive, and
    // their waits do through a slow server, a name lookup or a connect. Once the program is
    // ending a wait gives up, so that Exit never waits for the network.
    const TNotifyEvent answer = [this](TNetComponent&) {
        ProcessEvents();
        if (ending_) throw EProgramEnding();
    };
    pop1.OnStatus = [this](TNetComponent&, TNetStatus, const std::string&) { ProcessEvents(); };
    pop1.OnWork = [this](TNetComponent&, TWorkMode, std::int32_t) { ProcessEvents(); };
    pop1.OnWaiting = answer;
    pop1.ReadTimeout = kMailReadTimeout;

    fp = new TPlacementStore(this, TPlacementStore::fpPosition);

    http1.MaxLineAction = TMaxLineAction::maException;
    http1.AllowCookies = true;
    http1.ReadTimeout = 60000;
    // A download address on another host makes its own connect; it waits no longer than the
    // update check's own connects do.
    http1.ConnectTimeout = 10000;
    http1.OnWork = [this](TNetComponent& sender, TWorkMode mode, std::int32_t count) {
        http1Work(sender, mode, count);
    };
    // Nor must a slow update server; Busy keeps the other network commands away meanwhile.
    http1.OnWaiting = answer;
    InstallerStarter = [](const std::string& path) { kavrel::OpenWithShell(path); };
    ProgramCloser = [this] {
        close();
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    };

    resize(481, 279);
    HoldStatusLabels();
}

void TfMain::SetLabelText(QLabel* label, const QString& text) {
    label->setText(text);
    HoldStatusLabels();
}

void TfMain::HoldStatusLabels() {
    Panel1->Refit();
    // Never below the designed minimum, which holds the panel at its designed 45 pixels;
    // wider and taller where the labels' font or texts need it, so that no label is cut.
    const int width = std::max(350, Panel1->minimumSizeHint().width());
    const int panel = Panel1->heightForWidth(width);
    // The menu, the tool bar and the tab row grow with the font as well; the pages may shrink
    // away at the smallest window, the labels may not.
    tabMain->setMinimumHeight(tabMain->tabBar()->sizeHint().height());
    centralWidget()->layout()->invalidate();
    layout()->invalidate();
    const int rest = layout()->minimumSize().height() - Panel1->minimumSizeHint().height();
    setMinimumSize(width, std::max(200 + std::max(0, panel - 45), rest + panel));
}

void TfMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::FontChange && Panel1) HoldStatusLabels();
}

void TfMain::CreateMenus() {
    QMenu* program = menuBar()->addMenu(QStringLiteral("&Program"));
    program->addAction(actCheck);
    program->addAction(actSettings);
    program->addSeparator();
    program->addAction(actExternalMail);
    program->addSeparator();
    program->addAction(actHide);
    program->addAction(actExit);
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->menuAction()->setStatusTip(QStringLiteral("About this software"));
    help->addAction(actUpdate);
    help->addSeparator();
    help->addAction(actAbout);

    ToolBar1->addAction(actHide);
    ToolBar1->addSeparator();
    ToolBar1->addAction(actSettings);
    ToolBar1->addAction(actCheck);
    ToolBar1->addSeparator();
    ToolBar1->addAction(actExternalMail);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->addAction(actAbout);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(actCheck);
    PopupMenu1->addAction(actSettings);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(actExternalMail);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(actShow);
    PopupMenu1->addAction(actExit);
    txtTray->SetPopupMenu(PopupMenu1);
}

void TfMain::FormCreate(const QStringList& arguments,
                        const std::function<std::string()>& initGlobals) {
    setWindowTitle(QString::fromUtf8(kProgramTitle));
    // Without an SVG reader the count picture stands in: a window still needs some picture.
    const QIcon icon = ProgramIcon();
    setWindowIcon(icon.isNull() ? txtTray->Icon() : icon);
    const std::string settingsProblem = initGlobals();
    fp->IniFileName = IniPath;
    fp->Active = true;
    LoadUpdateHosts(IniPath);
    SetLog("Started " + FormatDateTime("m/d/yyyy h:nna/p", Now()));
    if (!settingsProblem.empty()) AppendLog("\r\n" + settingsProblem);
    txtTray->SetText(QStringLiteral("n/a"));
    SetLabelText(labLastChecked, QStringLiteral("Last Checked: n/a"));
    SetLabelText(labMessages, QStringLiteral("Messages waiting: n/a"));
    Busy = false;
    startInTray_ = IsTrayStart(ToStrings(arguments));
    ApplySettings();
    BuildMessagePage();
    txtTray->SetIconVisible(true);
    Timer1->start();
}

void TfMain::ShowAtStart() {
    if (!startInTray_) {
        show();
        return;
    }
    // Only the tray icon shows; without a tray the window waits minimized on the task bar,
    // where the user can still reach it.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) showMinimized();
}

void TfMain::ApplySettings() {
    Timer1->setInterval(TimerInterval(Settings.CheckInterval));
    const std::string& program = Settings.MailProgram;
    std::error_code ec;
    actExternalMail->setEnabled(!Trim(program).empty() &&
                                std::filesystem::is_regular_file(program, ec));
    SetLabelText(labCheckInterval, QStringLiteral("Checking every ") +
                                       QString::number(Settings.CheckInterval) +
                                       QStringLiteral(" minutes"));
    if (OnCountsChanged) OnCountsChanged();
}

void TfMain::actSettingsExecute() {
    // Restarting the timer makes the next check come one full interval after the dialog.
    const auto apply = [this] {
        Timer1->stop();
        ApplySettings();
        Timer1->start();
    };
    bool ran = false;
    try {
        ran = RunSettingsDialog(this);
    } catch (const std::exception&) {
        // A refused start-at-login entry comes after the values were saved: they take effect
        // before the error is shown.
        apply();
        throw;
    }
    if (ran) apply();
}

void TfMain::actCheckExecute() { CheckMail(); }

void TfMain::Timer1Timer() { CheckMail(); }

void TfMain::CheckMail() { kavrel::CheckMail(pop1, Busy, *this); }

void TfMain::CheckSoon() {
    QTimer::singleShot(0, this, [this] {
        if (!ending_) Guarded(&TfMain::CheckMail);
    });
}

void TfMain::DeleteMessage(std::int32_t position) {
    kavrel::DeleteMessage(position, pop1, Busy, *this);
}

void TfMain::actExternalMailExecute() {
    ExternalMailExecute(Settings.MailProgram,
                        [this](const QString& text) { ShowMessage(this, text); });
}

void TfMain::actAboutExecute() { kavrel::actAboutExecute(this); }

void TfMain::actUpdateExecute() {
    if (Busy) return;
    UpdateExecute(http1, *this, Busy);
}

void TfMain::http1Work(TNetComponent&, TWorkMode, std::int32_t AWorkCount) {
    UpdateWork(*this, AWorkCount);
}

void TfMain::SetProgressVisible(bool visible) {
    pbProgress->setVisible(visible);
    labProgress->setVisible(visible);
}

void TfMain::ShowInformation(const std::string& caption, const std::string& text) {
    if (!ending_) ShowMessage(this, ToQString(caption), ToQString(text));
}

void TfMain::StartInstaller(const std::string& path) { InstallerStarter(path); }
void TfMain::CloseProgram() { ProgramCloser(); }

void TfMain::html1HotSpotClick(TPageViewer*, const std::string& SRC, bool& Handled) {
    Handled = ActOnDeleteLink(SRC, [this](std::int32_t row) { DeleteMessage(row); });
}

void TfMain::UpdateSummary() {
    kavrel::UpdateSummary(*this);
    if (OnCountsChanged) OnCountsChanged();
}

void TfMain::BuildMessagePage() {
    const TPaletteColors colors;
    html1->SetLinkColour(ToQColor(MessagePageColors(colors).Link));
    kavrel::BuildMessagePage(colors,
                             [this](const std::string& page) { html1->LoadFromString(page); });
}

void TfMain::SetTrayHint(const std::string& hint) { txtTray->SetHint(ToQString(hint)); }
void TfMain::SetMessagesCaption(const std::string& caption) {
    SetLabelText(labMessages, ToQString(caption));
}
void TfMain::SetTrayText(const std::string& text, bool uncertain) {
    // A count that includes an account the check could not reach is drawn on grey instead of
    // the highlight colour: as readable, and plainly not the usual state.
    const TColorRef color = uncertain ? TColorRef::Fixed(UncertainBackground())
                                      : TColorRef::System(QPalette::Highlight);
    if (!(txtTray->Color() == color)) txtTray->SetColor(color);
    txtTray->SetText(ToQString(text));
}

void TfMain::BeginWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
void TfMain::EndWaitCursor() { QGuiApplication::restoreOverrideCursor(); }

void TfMain::ShowProgress() {
    pbProgress->show();
    labProgress->show();
}

void TfMain::HideProgress() {
    pbProgress->hide();
    labProgress->hide();
    pbProgress->setValue(0);
    labProgress->clear();
}

void TfMain::SetProgressLabel(const std::string& text) { labProgress->setText(ToQString(text)); }
// A range of 0 to 0 would turn the bar into its endless busy animation for an empty mailbox.
void TfMain::SetProgressMax(int maximum) { pbProgress->setMaximum(std::max(maximum, 1)); }

void TfMain::SetProgressPosition(int position) {
    // The bar ignores a value beyond its end; a download larger than announced shows full.
    pbProgress->setValue(std::min(position, pbProgress->maximum()));
    // Drawn at once, but no oftener than the screen shows it.
    const auto now = std::chrono::steady_clock::now();
    if (now - progressDrawn_ < kEventsEvery) return;
    progressDrawn_ = now;
    pbProgress->repaint();
}

void TfMain::SetLastChecked(const std::string& caption) {
    SetLabelText(labLastChecked, ToQString(caption));
}

void TfMain::ProcessEvents() {
    const auto now = std::chrono::steady_clock::now();
    if (now - eventsHandled_ < kEventsEvery) return;
    eventsHandled_ = now;
    QCoreApplication::processEvents();
}
void TfMain::OpenWithShell(const std::string& target) {
    if (!ending_) kavrel::OpenWithShell(target);
}
void TfMain::PlayNewMailSound(const std::string& path) {
    if (!ending_) kavrel::PlayNewMailSound(mpSound, path);
}
void TfMain::ShowMainWindow() {
    if (!ending_) txtTray->ShowMainWindow();
}
void TfMain::NotifyNewMail(const std::vector<TNewMail>& mail) {
    if (!ending_) notifier->Notify(mail);
}

bool TfMain::AskYesNo(const std::string& caption, const std::string& text) {
    return !ending_ && kavrel::AskYesNo(this, ToQString(caption), ToQString(text));
}

void TfMain::BeginEnding() {
    if (ending_) return;
    ending_ = true;
    Timer1->stop();
    if (OnEnding) OnEnding();
}

void TfMain::closeEvent(QCloseEvent* event) {
    BeginEnding();
    QMainWindow::closeEvent(event);
}

void TfMain::SetLog(const std::string& text) {
    log_ = text;
    // The log is written with CR LF line ends; the box wants plain line feeds.
    std::string shown;
    shown.reserve(log_.size());
    for (std::size_t i = 0; i < log_.size(); ++i) {
        if (log_[i] == '\r' && i + 1 < log_.size() && log_[i + 1] == '\n') continue;
        shown += log_[i];
    }
    txtStats->setPlainText(ToQString(shown));
}

void TfMain::AppendLog(const std::string& piece) { SetLog(log_ + piece); }

void TfMain::showEvent(QShowEvent* event) {
    // Without a saved place the window opens in the middle of the screen.
    if (!event->spontaneous()) CentreOnScreen(*this);
    QMainWindow::showEvent(event);
}

void TfMain::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    if (!event->spontaneous()) Guarded(&TfMain::FormHide);
}

// Also covers closing: the window is hidden after every close it accepts.
void TfMain::FormHide() { fp->SavePlacement(); }

void TfMain::Guarded(void (TfMain::*command)()) {
    try {
        (this->*command)();
    } catch (const std::exception& e) {
        ShowError(this, ToQString(e.what()));
    }
}

}  // namespace kavrel
