#include "desktop/wake_watch.h"

#include <QDBusConnection>

namespace kavrel {

TWakeWatch::TWakeWatch(std::chrono::milliseconds delay, QObject* parent) : QObject(parent) {
    delay_.setSingleShot(true);
    delay_.setInterval(delay);
    connect(&delay_, &QTimer::timeout, this, &TWakeWatch::DelayOver);
    // Without a system bus (a container, a bare session) resumes go unheard; nothing fails.
    QDBusConnection::systemBus().connect(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
        SLOT(PrepareForSleep(bool)));
}

void TWakeWatch::WatchNetwork() {
    if (!QNetworkInformation::loadDefaultBackend()) return;
    QNetworkInformation* info = QNetworkInformation::instance();
    reachability_ = info->reachability();
    connect(info, &QNetworkInformation::reachabilityChanged, this,
            &TWakeWatch::ReachabilityChanged);
}

void TWakeWatch::PrepareForSleep(bool sleeping) {
    if (sleeping) {
        delay_.stop();
    } else {
        delay_.start();
    }
}

// Only a rise from a known state: the first answer after start is no news, and a network
// going away leaves nothing to check.
void TWakeWatch::ReachabilityChanged(QNetworkInformation::Reachability now) {
    const auto before = reachability_;
    reachability_ = now;
    if (before != QNetworkInformation::Reachability::Unknown && now > before) delay_.start();
}

void TWakeWatch::DelayOver() {
    // Still offline after a resume: the network's return will tell again.
    if (reachability_ == QNetworkInformation::Reachability::Disconnected) return;
    if (OnWake) OnWake();
}

}  // namespace kavrel
