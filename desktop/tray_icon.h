#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <QWidget>
#include <functional>

class QMenu;

// The program's icon in the notification area, and the hiding and showing of the main window
// (the owner) that goes with it.
namespace kavrel {

class TTrayIcon : public QObject {
    Q_OBJECT

  public:
    static constexpr int kMaxHint = 127;

    // owner may be null: then showing and hiding do nothing.
    explicit TTrayIcon(QWidget* owner, QObject* parent = nullptr);
    ~TTrayIcon() override;

    QWidget* Owner() const { return owner_; }

    const QIcon& Icon() const { return icon_; }
    void SetIcon(const QIcon& icon);

    // Longer texts are cut to their first 127 characters, the most a tray tool-tip holds.
    const QString& Hint() const { return hint_; }
    void SetHint(const QString& hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show);

    bool IconVisible() const { return iconVisible_; }
    void SetIconVisible(bool visible);

    // While false, clicks and the menu are ignored.
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    // Not owned; opened by the right button (and the left one with LeftPopup).
    QMenu* PopupMenu() const;
    void SetPopupMenu(QMenu* menu);
    bool LeftPopup() const { return leftPopup_; }
    void SetLeftPopup(bool left) { leftPopup_ = left; }

    bool MinimizeToTray() const { return minimizeToTray_; }
    void SetMinimizeToTray(bool on) { minimizeToTray_ = on; }

    std::function<void()> OnClick;     // a left click
    std::function<void()> OnDblClick;  // a left double click

    // Brings the owner back, restored from minimized and in front.
    void ShowMainWindow();
    // Takes the owner off the screen and the task bar. Without a tray to come back from, it
    // minimizes to the task bar instead. Before the owner has been shown it does nothing.
    void HideMainWindow();

    // What the tray host is given as the tool-tip.
    QString TrayToolTip() const { return tray_->toolTip(); }

    // The activation reasons of the tray host: a press of the left button is Trigger, the
    // second press of a double click DoubleClick; Qt opens the context menu itself.
    void Activate(QSystemTrayIcon::ActivationReason reason);

  protected:
    virtual void AddTrayIcon();
    virtual void RemoveTrayIcon();
    virtual void UpdateTrayIcon();
    virtual bool TrayAvailable() const;

    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void MinimizedToTray();

    QPointer<QWidget> owner_;
    bool ownerShown_ = false;  // the owner is a main window once it has been on the screen
    QSystemTrayIcon* tray_;    // child of this object
    QIcon icon_;
    QString hint_;
    bool showHint_ = true;
    bool iconVisible_ = false;
    bool enabled_ = true;
    QPointer<QMenu> popupMenu_;
    bool leftPopup_ = false;
    bool minimizeToTray_ = false;
};

}  // namespace kavrel
