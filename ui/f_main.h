#pragma once

#include <QMainWindow>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/u_globals.h"
#include "core/mail_watch_view.h"
#include "core/summary.h"
#include "desktop/sound_player.h"
#include "net/http/http_client.h"
#include "net/pop3/pop3.h"
#include "update/update_view.h"

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QTabWidget;
class QTimer;
class QToolBar;
class QWidget;

namespace kavrel {

class TDesktopNotifier;
class TPageViewer;
class TPlacementStore;
class TStatusPanel;
class TTrayTextIcon;

// The main window: the status labels, the "Pop Status" log, the "Messages" page, the tray
// icon, the check timer and the commands. Busy keeps a check, a deletion and an update check
// from overlapping while the event loop runs inside them.
class TfMain : public QMainWindow, public TSummaryView, public TMailWatchView, public TUpdateView {
    Q_OBJECT

  public:
    // arguments: the command line without the program name. initGlobals sets the paths and
    // loads the settings, giving what the log should say about them ("" when nothing); tests
    // hand in one that uses a folder of their own.
    explicit TfMain(const QStringList& arguments, QWidget* parent = nullptr,
                    const std::function<std::string()>& initGlobals = InitGlobals);
    ~TfMain() override;

    bool Busy = false;
    // "-TRAY" was given: the window starts in the tray.
    bool StartInTray() const { return startInTray_; }

    void ApplySettings();
    void CheckMail();
    // A check asked for outside the timer (after a resume, by a script): it runs once control
    // is back in the event loop, and not at all while another check runs. The timer's rhythm
    // stays as it was.
    void CheckSoon();
    // position counts from 1 in MailList, as the page's links do.
    void DeleteMessage(std::int32_t position);
    void UpdateSummary() override;
    void BuildMessagePage() override;
    // Replaces the log, or adds a piece to its end ("\r\n" starts a new line).
    void SetLog(const std::string& text) override;
    void AppendLog(const std::string& piece) override;
    const std::string& LogText() const { return log_; }

    // Shows the window as the start asks: normal, or only the tray icon with "-TRAY".
    void ShowAtStart();

    void actSettingsExecute();
    void actCheckExecute();
    void actExternalMailExecute();
    void actAboutExecute();
    void actUpdateExecute();
    void html1HotSpotClick(TPageViewer* Sender, const std::string& SRC, bool& Handled);
    void Timer1Timer();
    void http1Work(TNetComponent& Sender, TWorkMode AWorkMode, std::int32_t AWorkCount);

    // The summary's places.
    void SetTrayHint(const std::string& hint) override;
    void SetMessagesCaption(const std::string& caption) override;
    void SetTrayText(const std::string& text, bool uncertain) override;

    // What the check, the deletion and the update check do in the window.
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void ShowProgress() override;
    void HideProgress() override;
    void SetProgressLabel(const std::string& text) override;
    void SetProgressMax(int maximum) override;
    void SetProgressPosition(int position) override;
    void SetLastChecked(const std::string& caption) override;
    void ProcessEvents() override;
    void OpenWithShell(const std::string& target) override;
    void PlayNewMailSound(const std::string& path) override;
    void ShowMainWindow() override;
    void NotifyNewMail(const std::vector<TNewMail>& mail) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;
    bool Ending() const override { return ending_; }

    // Exit, or the window closed: from here on network operations under way are abandoned at
    // their next wait, the timer stops, and nothing asks, shows, plays or starts any more.
    void BeginEnding();
    // Called once when the program begins to end, before the window goes: a later start must
    // not find this copy.
    std::function<void()> OnEnding;
    // The counts or the active accounts may have changed.
    std::function<void()> OnCountsChanged;

    TStatusPanel* Panel1 = nullptr;
    QLabel* labCheckInterval;
    QLabel* labLastChecked;
    QLabel* labMessages;
    QTabWidget* tabMain;
    QWidget* tabStatus;
    QPlainTextEdit* txtStats;
    QWidget* tabMessages;
    TPageViewer* html1;
    QProgressBar* pbProgress;
    QLabel* labProgress;
    QToolBar* ToolBar1;
    QMenu* PopupMenu1;
    QTimer* Timer1;
    TTrayTextIcon* txtTray;
    TDesktopNotifier* notifier;
    TPlacementStore* fp;

    QAction* actExit;
    QAction* actHide;
    QAction* actSettings;
    QAction* actCheck;
    QAction* actAbout;
    QAction* actShow;
    QAction* actExternalMail;
    QAction* actUpdate;

    TPOP3 pop1;
    TSoundPlayer mpSound;
    THTTPClient http1;

    // The update check's own needs of the window.
    void SetProgressVisible(bool visible) override;
    void ShowInformation(const std::string& caption, const std::string& text) override;
    void StartInstaller(const std::string& path) override;
    void CloseProgram() override;
    // What starting the installer and ending the program do; tests put recorders here.
    std::function<void(const std::string&)> InstallerStarter;
    std::function<void()> ProgramCloser;

  protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void CreateActions();
    void CreateMenus();
    void CreateWidgets();
    void FormCreate(const QStringList& arguments, const std::function<std::string()>& initGlobals);
    void FormHide();
    void SetLabelText(QLabel* label, const QString& text);
    // Lays the status labels out anew and keeps the window large enough to show them whole.
    void HoldStatusLabels();
    // Runs a command; an error that escapes it is shown in an error box and the program goes on.
    void Guarded(void (TfMain::*command)());

    bool startInTray_ = false;
    bool ending_ = false;
    // A check runs the event loop and draws its progress at a steady rate, once a frame, not
    // once a message or a line: at ten thousand messages that would be most of its time.
    static constexpr std::chrono::milliseconds kEventsEvery{16};
    std::chrono::steady_clock::time_point eventsHandled_;
    std::chrono::steady_clock::time_point progressDrawn_;
    std::string log_;
};

}  // namespace kavrel
