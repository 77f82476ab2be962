#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "core/mail_watch_view.h"

// New mail told to the desktop's notification service on the session bus
// (org.freedesktop.Notifications). The program keeps one notification: each one replaces the
// one before rather than stacking up beside it.
namespace kavrel {

// Summary and body of the notification for one check's new mail. The summary is plain text
// by definition; a service that reads the body as markup gets its <, > and & escaped.
struct TNewMailNote {
    QString Summary;
    QString Body;
};

TNewMailNote NewMailNote(const std::vector<TNewMail>& mail, bool bodyMarkup);

class TDesktopNotifier : public QObject {
    Q_OBJECT

  public:
    explicit TDesktopNotifier(QObject* parent = nullptr);

    // Returns at once; the service answers later.
    void Notify(const std::vector<TNewMail>& mail);

    // The buttons of our notification ("default": a click on it shows the window).
    std::function<void()> OnShowWindow;
    std::function<void()> OnOpenMailProgram;
    // The first time a notification cannot be shown in this run: a line for the log. A
    // desktop without the service would otherwise say so at every check.
    std::function<void(const std::string&)> OnUnavailable;

  private slots:
    void ActionInvoked(uint id, const QString& action);
    void NotificationClosed(uint id, uint reason);
    void ActivationToken(uint id, const QString& token);

  private:
    void Subscribe();
    void Send(const std::vector<TNewMail>& mail, bool bodyMarkup);
    void Unavailable(const QString& reason);

    uint current_ = 0;  // the id of our notification on screen, 0 when none
    bool subscribed_ = false;
    bool reported_ = false;
};

}  // namespace kavrel
