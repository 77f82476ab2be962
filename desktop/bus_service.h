#pragma once

#include <QDBusArgument>
#include <QList>
#include <QObject>
#include <QString>
#include <cstddef>
#include <functional>
#include <vector>

#include "core/summary.h"

// The waiting count on the session bus, for scripts and status bars. Name, object path and
// interface are all kBusName (the path with slashes); see the README for a session with it.
namespace kavrel {

inline constexpr char kBusName[] = "org.kavrel.Kavrel";
inline constexpr char kBusPath[] = "/org/kavrel/Kavrel";

// One active account on the bus: (mailbox, count, last check failed).
struct TBusAccount {
    QString MailBox;
    uint Count = 0;
    bool Uncertain = false;
};

QDBusArgument& operator<<(QDBusArgument& out, const TBusAccount& account);
const QDBusArgument& operator>>(const QDBusArgument& in, TBusAccount& account);

class TBusService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kavrel.Kavrel")
    Q_PROPERTY(uint Waiting READ Waiting)
    Q_PROPERTY(QList<kavrel::TBusAccount> Accounts READ Accounts)

  public:
    explicit TBusService(QObject* parent = nullptr);

    // Takes the name on the session bus; the reason when it cannot, else "".
    QString Register();

    // What the window shows now. The bus is told when the total changed; the properties
    // always answer with what was last given, never a check's half-done state.
    void Publish(std::size_t waiting, const std::vector<TAccountCount>& accounts);

    uint Waiting() const { return waiting_; }
    QList<TBusAccount> Accounts() const { return accounts_; }

    std::function<void()> OnCheckNow;

  public slots:
    // Returns at once; the check runs after the reply, unless one is running already.
    Q_SCRIPTABLE void CheckNow();

  signals:
    Q_SCRIPTABLE void WaitingChanged(uint waiting);

  private:
    uint waiting_ = 0;
    QList<TBusAccount> accounts_;
    bool published_ = false;
};

}  // namespace kavrel

Q_DECLARE_METATYPE(kavrel::TBusAccount)
