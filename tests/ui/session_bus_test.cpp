// The main window and the desktop's buses: new mail told to a notification service that the
// test runs itself, a resume heard from a stand-in logind, the network's return, and the counts
// read by a script.
// One private bus plays the session and the system bus.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <regex>

#include "desktop/desktop_notifier.h"
#include "tests/support/keyring_session.h"
#include "tests/support/pop3_script.h"
#include "tests/ui/check_window_fixture.h"
#include "ui/desktop_links.h"

namespace kavrel {
namespace {

using namespace kavrel::test;

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

struct TNotifyCall {
    QString App;
    uint Replaces = 0;
    QString Icon;
    QString Summary;
    QString Body;
    QStringList Actions;
    QVariantMap Hints;
    int Timeout = 0;
};

// A service played by the test under its well-known name, on a bus connection of its own.
class TBusService : public QDBusVirtualObject {
  public:
    TBusService(const std::string& address, const QString& service, const QString& path)
        : service_(service),
          path_(path),
          bus_(QDBusConnection::connectToBus(QString::fromStdString(address), service)) {
        EXPECT_TRUE(bus_.registerVirtualObject(path_, this));
        EXPECT_TRUE(bus_.registerService(service_));
    }
    ~TBusService() override {
        bus_.unregisterService(service_);
        bus_.unregisterObject(path_);
        QDBusConnection::disconnectFromBus(service_);
    }

    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override { return false; }
    QString introspect(const QString&) const override { return {}; }

    void Emit(const QString& interface, const char* signal, const QVariantList& arguments) {
        QDBusMessage s = QDBusMessage::createSignal(path_, interface, QString::fromUtf8(signal));
        s.setArguments(arguments);
        bus_.send(s);
    }

  protected:
    const QString service_;
    const QString path_;
    QDBusConnection bus_;
};

// The service as far as the program uses it: it records each Notify and answers with an id,
// the same one when asked to replace.
class TNotificationService : public TBusService {
  public:
    explicit TNotificationService(const std::string& address)
        : TBusService(address, kService, kPath) {}

    bool handleMessage(const QDBusMessage& m, const QDBusConnection& connection) override {
        if (m.member() == QLatin1String("GetCapabilities")) {
            std::lock_guard lock(mutex_);
            connection.send(m.createReply(capabilities_));
            return true;
        }
        if (m.member() != QLatin1String("Notify") || m.arguments().size() != 8) return false;
        const QVariantList a = m.arguments();
        TNotifyCall call{a[0].toString(),
                         a[1].toUInt(),
                         a[2].toString(),
                         a[3].toString(),
                         a[4].toString(),
                         a[5].toStringList(),
                         qdbus_cast<QVariantMap>(a[6]),
                         a[7].toInt()};
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
        connection.send(m.createReply(call.Replaces != 0 ? call.Replaces : next_++));
        return true;
    }

    void SetCapabilities(const QStringList& capabilities) {
        std::lock_guard lock(mutex_);
        capabilities_ = capabilities;
    }

    std::vector<TNotifyCall> Calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<TNotifyCall> calls_;
    QStringList capabilities_{"actions", "body"};
    uint next_ = 7;
};

// NetworkManager as far as the toolkit asks it: its state, and the signal when it changes. It
// answers from a thread of its own, since the toolkit's first question waits for the answer.
class TNetworkManager : public TBusService {
  public:
    static constexpr uint kDisconnected = 20;
    static constexpr uint kConnected = 70;

    explicit TNetworkManager(const std::string& address)
        : TBusService(address, "org.freedesktop.NetworkManager",
                      "/org/freedesktop/NetworkManager") {
        moveToThread(&thread_);
        thread_.start();
    }
    ~TNetworkManager() override {
        thread_.quit();
        thread_.wait();
    }

    bool handleMessage(const QDBusMessage& m, const QDBusConnection& connection) override {
        if (m.member() != QLatin1String("GetAll")) return false;
        connection.send(m.createReply(QVariantMap{{"State", state_.load()}, {"Connectivity", 4u}}));
        return true;
    }

    void SetState(uint state) {
        state_ = state;
        Emit("org.freedesktop.DBus.Properties", "PropertiesChanged",
             {service_, QVariantMap{{"State", state}}, QStringList{}});
    }

  private:
    QThread thread_;
    std::atomic<uint> state_{kConnected};
};

// One bus for the program: the toolkit connects to each bus once and keeps it.
class SessionBusTest : public CheckCycleTest {
  protected:
    static void SetUpTestSuite() {
        bus_ = std::make_unique<TKeyringSession>(TKeyringSession::TServices::BusOnly);
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", QByteArray::fromStdString(bus_->BusAddress()));
    }
    static void TearDownTestSuite() { bus_.reset(); }
    void SetUp() override {
        CheckCycleTest::SetUp();
        Settings.NotifyOnNewMail = true;
    }

    // Whatever the program sent the service before now has arrived, and its answer too.
    static void Settle() {
        const QDBusPendingCall ping = QDBusConnection::sessionBus().asyncCall(
            QDBusMessage::createMethodCall(kService, kPath, kService, "GetCapabilities"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return ping.isFinished(); }, 5000));
        QCoreApplication::processEvents();
    }

    static inline std::unique_ptr<TKeyringSession> bus_;
};

TEST_F(SessionBusTest, NewMailIsAnnouncedReplacedAndItsButtonsWork) {
    TNotificationService service(bus_->BusAddress());
    TScriptServer server(GrowingMailbox({{"u1", "Tom & <Jerry>", 100}, {"u2", "World", 200}},
                                        {{"u3", "Later & <more>", 300}, {"u4", "Quiet", 400}}));
    Account(1, server);
    const std::string opened = dir_ / "opened";
    Settings.MailProgram = dir_ / "mailer";
    WriteFile(Settings.MailProgram, "#!/bin/sh\necho opened >> '" + opened + "'\n");
    ::chmod(Settings.MailProgram.c_str(), 0755);

    window->CheckMail();
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.Calls().size() == 1; }, 5000));
    const TNotifyCall first = service.Calls()[0];
    EXPECT_EQ(first.App, "Kavrel");
    EXPECT_EQ(first.Replaces, 0u);
    EXPECT_TRUE(first.Icon == "kavrel" || first.Icon == "mail-unread") << first.Icon.toStdString();
    EXPECT_EQ(first.Summary, "2 new messages");
    EXPECT_EQ(first.Body, "Sender: Tom & <Jerry>\nSender: World")
        << "plain: the service has no markup";
    EXPECT_EQ(first.Actions, (QStringList{"open", "Open mail program", "show", "Show Kavrel",
                                          "default", "Show Kavrel"}));
    EXPECT_EQ(first.Hints.value("category").toString(), "email.arrived");
    EXPECT_EQ(first.Hints.value("desktop-entry").toString(), "kavrel");
    EXPECT_EQ(first.Timeout, -1);

    // Another program's notification is none of ours; signals arrive in the order sent.
    service.Emit(kService, "ActionInvoked", {99u, QStringLiteral("show")});
    service.Emit(kService, "NotificationClosed", {99u, 2u});
    service.Emit(kService, "ActionInvoked", {7u, QStringLiteral("open")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return ReadFile(opened) == "opened\n"; }, 5000));
    EXPECT_FALSE(window->isVisible());
    service.Emit(kService, "ActionInvoked", {7u, QStringLiteral("default")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->isVisible(); }, 5000));

    service.SetCapabilities({"actions", "body", "body-markup"});
    window->CheckMail();
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.Calls().size() == 2; }, 5000));
    const TNotifyCall second = service.Calls()[1];
    EXPECT_EQ(second.Replaces, 7u) << "the one notification is replaced, not stacked";
    EXPECT_EQ(second.Summary, "Sender");
    EXPECT_EQ(second.Body, "Later &amp; &lt;more&gt;") << "escaped for a service reading markup";

    Settings.NotifyOnNewMail = false;
    window->CheckMail();
    Settle();
    EXPECT_EQ(service.Calls().size(), 2u) << "the option is off";
    EXPECT_TRUE(server.Finish()) << server.Report();
}

TEST_F(SessionBusTest, AMissingServiceIsLoggedOncePerRun) {
    TScriptServer server(GrowingMailbox({{"u1", "Hello", 100}}, {{"u2", "Again", 200}}));
    Account(1, server);
    const std::string line = "No desktop notification for new mail: ";

    window->CheckMail();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Log().find(line) != std::string::npos; }, 5000));
    window->CheckMail();
    Settle();
    EXPECT_EQ(Log().find(line), std::string::npos) << Log();
    EXPECT_TRUE(server.Finish()) << server.Report();
}

// A call to the program as a script would make it: the reply, or "" on failure.
std::string DBusSend(const QString& address, const QStringList& call) {
    QProcess p;
    p.start("dbus-send", QStringList{"--bus=" + address, "--print-reply",
                                     "--dest=org.kavrel.Kavrel", "/org/kavrel/Kavrel"} +
                             call);
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000)) return {};
    return p.exitCode() == 0 ? p.readAllStandardOutput().toStdString() : std::string();
}

TEST_F(SessionBusTest, AResumeTheNetworksReturnAndAScriptEachStartACheck) {
    const QString address = QString::fromStdString(bus_->BusAddress());
    TBusService login1(bus_->BusAddress(), "org.freedesktop.login1", "/org/freedesktop/login1");
    const auto sleep = [&](bool sleeping) {
        login1.Emit("org.freedesktop.login1.Manager", "PrepareForSleep", {sleeping});
    };
    TScriptServer server(
        GrowingMailbox({{"u1", "Hello", 100}}, {{"u2", "Again", 200}, {"u3", "Back", 300}}));
    TNetworkManager network(bus_->BusAddress());
    Account(1, server);
    QProcess monitor;
    monitor.start("dbus-monitor", {"--address", address, "interface='org.kavrel.Kavrel'"});
    // A monitor is in place once the bus has taken its name away.
    std::string seen;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            seen += monitor.readAllStandardOutput().toStdString();
            return seen.find("member=NameLost") != std::string::npos;
        },
        10000));
    const auto get = [&](const char* property) {
        return DBusSend(address, {"org.freedesktop.DBus.Properties.Get", "string:org.kavrel.Kavrel",
                                  QString("string:") + property});
    };

    TDesktopLinks links(*window, std::chrono::milliseconds(0));
    links.Wake.WatchNetwork();
    // A round trip after the window's subscription, which the bus then has in place before the
    // signal comes: it handles each connection's messages in order.
    QDBusConnection::systemBus().interface()->isServiceRegistered("org.freedesktop.login1");
    const int interval = window->Timer1->remainingTime();
    sleep(true);
    sleep(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return CountMail(MailList) == 1 && !window->Busy; }, 5000));
    EXPECT_NE(get("Waiting").find("uint32 1"), std::string::npos) << get("Waiting");
    const std::string accounts = get("Accounts");
    EXPECT_NE(accounts.find("string \"" + Host(server) +
                            "->ann\"\n            uint32 1\n"
                            "            boolean false"),
              std::string::npos)
        << accounts;
    EXPECT_GE(interval - window->Timer1->remainingTime(), 0) << "the timer was not restarted";

    ASSERT_NE(DBusSend(address, {"org.kavrel.Kavrel.CheckNow"}), "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return CountMail(MailList) == 2 && !window->Busy; }, 5000));
    network.SetState(TNetworkManager::kDisconnected);
    QTest::qWait(200);
    EXPECT_EQ(CountMail(MailList), 2u) << "no check without a network";
    network.SetState(TNetworkManager::kConnected);
    ASSERT_TRUE(QTest::qWaitFor([&] { return CountMail(MailList) == 3 && !window->Busy; }, 5000))
        << "the network's return is heard";
    EXPECT_TRUE(server.Finish()) << server.Report();
    QTest::qWait(200);
    monitor.terminate();
    ASSERT_TRUE(monitor.waitForFinished());
    seen += monitor.readAllStandardOutput().toStdString();
    std::string counts;
    const std::regex waiting("member=WaitingChanged[\\s\\S]*?uint32 (\\d+)");
    for (std::sregex_iterator i(seen.begin(), seen.end(), waiting), end; i != end; ++i) {
        counts += (*i)[1].str() + " ";
    }
    EXPECT_EQ(counts, "1 2 3 ") << seen;
}

}  // namespace
}  // namespace kavrel
