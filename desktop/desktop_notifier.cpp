#include "desktop/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QIcon>
#include <QStringList>
#include <QVariantMap>
#include <cstddef>

#include "core/message_page.h"
#include "desktop/qt_text.h"

namespace kavrel {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// More lines than this and the rest is counted, not listed: a notification is read at a glance.
constexpr std::size_t kListed = 4;

std::string SenderOf(const TNewMail& m) { return m.From.empty() ? "(unknown sender)" : m.From; }

std::string SubjectOf(const TNewMail& m) { return m.Subject.empty() ? "(no subject)" : m.Subject; }

// The theme's own picture of the program when it is installed, else the generic one.
QString IconName() {
    return QIcon::hasThemeIcon(QStringLiteral("kavrel")) ? QStringLiteral("kavrel")
                                                         : QStringLiteral("mail-unread");
}

// Action keys and their button texts, in the order the service wants: key, text, key, text.
// "default" is what a click on the notification itself does where no buttons are shown.
QStringList NewMailActions() {
    return {QStringLiteral("open"),    QStringLiteral("Open mail program"),
            QStringLiteral("show"),    QStringLiteral("Show Kavrel"),
            QStringLiteral("default"), QStringLiteral("Show Kavrel")};
}

}  // namespace

TNewMailNote NewMailNote(const std::vector<TNewMail>& mail, bool bodyMarkup) {
    const auto body = [bodyMarkup](const std::string& text) {
        return ToQString(bodyMarkup ? EscapeMarkup(text) : text);
    };
    if (mail.size() == 1) return {ToQString(SenderOf(mail[0])), body(SubjectOf(mail[0]))};
    const std::size_t listed = mail.size() <= kListed ? mail.size() : kListed - 1;
    std::string lines;
    for (std::size_t i = 0; i < listed; ++i) {
        if (i > 0) lines += '\n';
        lines += SenderOf(mail[i]) + ": " + SubjectOf(mail[i]);
    }
    if (listed < mail.size()) lines += "\nand " + std::to_string(mail.size() - listed) + " more";
    return {QString::number(mail.size()) + QStringLiteral(" new messages"), body(lines)};
}

TDesktopNotifier::TDesktopNotifier(QObject* parent) : QObject(parent) {}

void TDesktopNotifier::Notify(const std::vector<TNewMail>& mail) {
    if (mail.empty()) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Unavailable(bus.lastError().message());
        return;
    }
    Subscribe();
    // Asked every time: the service may have been replaced by one that reads markup
    // differently. Its answer also tells whether there is a service at all.
    const QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                            QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, mail](QDBusPendingCallWatcher* done) {
                const QDBusPendingReply<QStringList> reply = *done;
                if (reply.isError()) {
                    Unavailable(reply.error().message());
                } else {
                    Send(mail, reply.value().contains(QLatin1String("body-markup")));
                }
                done->deleteLater();
            });
}

void TDesktopNotifier::Send(const std::vector<TNewMail>& mail, bool bodyMarkup) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    const TNewMailNote note = NewMailNote(mail, bodyMarkup);
    QVariantMap hints;
    hints.insert(QStringLiteral("category"), QStringLiteral("email.arrived"));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("kavrel"));
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    // -1: the service decides how long it stays.
    call << QStringLiteral("Kavrel") << current_ << IconName() << note.Summary << note.Body
         << NewMailActions() << hints << qint32(-1);
    // Never waited for: a slow or absent service must not hold the window.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* done) {
                const QDBusPendingReply<uint> reply = *done;
                if (reply.isError()) {
                    Unavailable(reply.error().message());
                } else {
                    current_ = reply.value();
                }
                done->deleteLater();
            });
}

void TDesktopNotifier::Subscribe() {
    if (subscribed_) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Bound to the service's name, so only its owner's signals arrive, also after a restart.
    subscribed_ = bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                              SLOT(ActionInvoked(uint, QString))) &&
                  bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"),
                              this, SLOT(NotificationClosed(uint, uint))) &&
                  bus.connect(kService, kPath, kInterface, QStringLiteral("ActivationToken"), this,
                              SLOT(ActivationToken(uint, QString)));
}

void TDesktopNotifier::Unavailable(const QString& reason) {
    if (reported_) return;
    reported_ = true;
    if (OnUnavailable) {
        OnUnavailable("\r\nNo desktop notification for new mail: " + FromQString(reason));
    }
}

// Every program's notifications raise these signals; only our own id is ours to act on.
void TDesktopNotifier::ActionInvoked(uint id, const QString& action) {
    if (id == 0 || id != current_) return;
    if (action == QLatin1String("open")) {
        if (OnOpenMailProgram) OnOpenMailProgram();
    } else if (action == QLatin1String("show") || action == QLatin1String("default")) {
        if (OnShowWindow) OnShowWindow();
    }
}

void TDesktopNotifier::NotificationClosed(uint id, uint /*reason*/) {
    // A closed notification cannot be replaced; the next one starts afresh.
    if (id != 0 && id == current_) current_ = 0;
}

void TDesktopNotifier::ActivationToken(uint id, const QString& token) {
    // Sent just before ActionInvoked: it lets a compositor that guards focus raise the window.
    if (id != 0 && id == current_) qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
}

}  // namespace kavrel
