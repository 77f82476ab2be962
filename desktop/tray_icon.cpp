#include "desktop/tray_icon.h"

#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QTimer>
#include <QWidget>

namespace kavrel {
namespace {

// The first count characters; a character outside the basic plane is two code units and is
// never split.
QString FirstCharacters(const QString& text, int count) {
    qsizetype end = 0;
    for (int n = 0; n < count && end < text.size(); ++n) {
        const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size() &&
                          text.at(end + 1).isLowSurrogate();
        end += pair ? 2 : 1;
    }
    return text.left(end);
}

}  // namespace

TTrayIcon::TTrayIcon(QWidget* owner, QObject* parent)
    : QObject(parent), owner_(owner), tray_(new QSystemTrayIcon(this)) {
    connect(tray_, &QSystemTrayIcon::activated, this, &TTrayIcon::Activate);
    if (owner_) {
        ownerShown_ = owner_->isVisible();
        owner_->installEventFilter(this);
    }
}

TTrayIcon::~TTrayIcon() {
    if (owner_) owner_->removeEventFilter(this);
    if (iconVisible_) tray_->hide();
}

void TTrayIcon::SetIcon(const QIcon& icon) {
    icon_ = icon;
    UpdateTrayIcon();
}

void TTrayIcon::SetHint(const QString& hint) {
    hint_ = FirstCharacters(hint, kMaxHint);
    UpdateTrayIcon();
}

void TTrayIcon::SetShowHint(bool show) {
    showHint_ = show;
    UpdateTrayIcon();
}

void TTrayIcon::SetIconVisible(bool visible) {
    if (visible) {
        AddTrayIcon();
    } else {
        RemoveTrayIcon();
    }
}

void TTrayIcon::SetEnabled(bool enabled) {
    enabled_ = enabled;
    tray_->setContextMenu(enabled_ ? popupMenu_.data() : nullptr);
}

QMenu* TTrayIcon::PopupMenu() const { return popupMenu_; }

void TTrayIcon::SetPopupMenu(QMenu* menu) {
    popupMenu_ = menu;
    tray_->setContextMenu(enabled_ ? menu : nullptr);
}

void TTrayIcon::AddTrayIcon() {
    UpdateTrayIcon();
    tray_->show();
    iconVisible_ = true;
}

void TTrayIcon::RemoveTrayIcon() {
    UpdateTrayIcon();
    tray_->hide();
    iconVisible_ = false;
}

void TTrayIcon::UpdateTrayIcon() {
    tray_->setIcon(icon_);
    tray_->setToolTip(showHint_ ? hint_ : QString());
}

bool TTrayIcon::TrayAvailable() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

void TTrayIcon::Activate(QSystemTrayIcon::ActivationReason reason) {
    if (!enabled_) return;
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            if (leftPopup_ && popupMenu_) popupMenu_->popup(QCursor::pos());
            if (OnClick) OnClick();
            break;
        case QSystemTrayIcon::DoubleClick:
            // The first press of a double click was a Trigger already: the window is shown once.
            if (OnDblClick) OnDblClick();
            if (popupMenu_ && !leftPopup_ && popupMenu_->defaultAction()) {
                popupMenu_->defaultAction()->trigger();
            }
            break;
        default:
            break;
    }
}

void TTrayIcon::ShowMainWindow() {
    // Also when the owner was never shown: a start in the tray shows it for the first time here.
    if (!owner_) return;
    // Restore first, so the owner is never shown minimized and hidden again by the rule below.
    owner_->setWindowState(owner_->windowState() & ~Qt::WindowMinimized);
    owner_->show();
    owner_->raise();
    owner_->activateWindow();
}

void TTrayIcon::HideMainWindow() {
    if (!owner_ || !ownerShown_) return;
    if (!TrayAvailable()) {
        // Hidden with no tray to click, the window could not be brought back.
        owner_->showMinimized();
        return;
    }
    owner_->hide();
}

bool TTrayIcon::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_ && event->type() == QEvent::Show) ownerShown_ = true;
    if (watched == owner_ && minimizeToTray_) {
        const bool minimizing = event->type() == QEvent::WindowStateChange ||
                                (event->type() == QEvent::Show && !event->spontaneous());
        if (minimizing && owner_->isMinimized()) {
            // Hiding from inside the state change confuses some window managers: wait until
            // the event has been handled.
            QTimer::singleShot(0, this, &TTrayIcon::MinimizedToTray);
        }
    }
    return QObject::eventFilter(watched, event);
}

void TTrayIcon::MinimizedToTray() {
    if (!owner_ || !owner_->isMinimized() || !minimizeToTray_ || !TrayAvailable()) return;
    HideMainWindow();
    SetIconVisible(true);
}

}  // namespace kavrel
