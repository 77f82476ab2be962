#pragma once

#include <QNetworkInformation>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

// When the mail count may have gone stale without the interval knowing: the system has just
// resumed from suspend (logind's PrepareForSleep on the system bus), or the network has come
// back. Either is told a moment later, once, however many arrive together.
namespace kavrel {

class TWakeWatch : public QObject {
    Q_OBJECT

  public:
    // delay: the network needs a moment after a resume, and flickers while it connects.
    explicit TWakeWatch(std::chrono::milliseconds delay = std::chrono::seconds(5),
                        QObject* parent = nullptr);

    // Where the platform can tell the network's state; a program without it still hears of
    // resumes.
    void WatchNetwork();

    std::function<void()> OnWake;

  private slots:
    void PrepareForSleep(bool sleeping);

  private:
    void ReachabilityChanged(QNetworkInformation::Reachability now);
    void DelayOver();

    QTimer delay_;
    QNetworkInformation::Reachability reachability_ = QNetworkInformation::Reachability::Unknown;
};

}  // namespace kavrel
