#include "desktop/bus_service.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMetaType>
#include <limits>

#include "desktop/qt_text.h"

namespace kavrel {

QDBusArgument& operator<<(QDBusArgument& out, const TBusAccount& account) {
    out.beginStructure();
    out << account.MailBox << account.Count << account.Uncertain;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, TBusAccount& account) {
    in.beginStructure();
    in >> account.MailBox >> account.Count >> account.Uncertain;
    in.endStructure();
    return in;
}

namespace {

uint BusCount(std::size_t count) {
    return count > std::numeric_limits<uint>::max() ? std::numeric_limits<uint>::max()
                                                    : uint(count);
}

}  // namespace

TBusService::TBusService(QObject* parent) : QObject(parent) {
    qDBusRegisterMetaType<TBusAccount>();
    qDBusRegisterMetaType<QList<TBusAccount>>();
}

QString TBusService::Register() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return bus.lastError().message();
    if (!bus.registerObject(QString::fromLatin1(kBusPath), this,
                            QDBusConnection::ExportScriptableSlots |
                                QDBusConnection::ExportScriptableSignals |
                                QDBusConnection::ExportAllProperties)) {
        return bus.lastError().message();
    }
    if (!bus.registerService(QString::fromLatin1(kBusName))) {
        bus.unregisterObject(QString::fromLatin1(kBusPath));
        return bus.lastError().isValid() ? bus.lastError().message()
                                         : QStringLiteral("the name is taken");
    }
    return {};
}

void TBusService::Publish(std::size_t waiting, const std::vector<TAccountCount>& accounts) {
    accounts_.clear();
    for (const TAccountCount& a : accounts) {
        accounts_.push_back({ToQString(a.MailBox), BusCount(a.Count), a.Uncertain});
    }
    const uint before = waiting_;
    waiting_ = BusCount(waiting);
    if (published_ && waiting_ == before) return;
    published_ = true;
    emit WaitingChanged(waiting_);
}

void TBusService::CheckNow() {
    if (OnCheckNow) OnCheckNow();
}

}  // namespace kavrel
