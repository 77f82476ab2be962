#include "desktop/tray_icon.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QWidget>

namespace kavrel {
namespace {

// A tray icon on a desktop that has a tray, or not, as the test says.
class TTestTrayIcon : public TTrayIcon {
  public:
    using TTrayIcon::TTrayIcon;
    bool trayAvailable = true;

  protected:
    bool TrayAvailable() const override { return trayAvailable; }
};

TEST(TrayIcon, HintIsCutTo127Characters) {
    const QString emoji = QString::fromUtf8("\xF0\x9F\x93\xA7");  // two code units
    struct {
        const char* name;
        QString hint;
        QString expected;
    } const rows[] = {
        {"empty", QString(), QString()},
        {"short", QStringLiteral("3 (2/0/1) waiting"), QStringLiteral("3 (2/0/1) waiting")},
        {"exactly 127", QString(127, u'x'), QString(127, u'x')},
        {"200 characters", QString(127, u'a') + QString(73, u'b'), QString(127, u'a')},
        {"a pair is one character", QString(126, u'a') + emoji + QStringLiteral("zz"),
         QString(126, u'a') + emoji},
        {"only pairs", emoji.repeated(130), emoji.repeated(127)},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TTrayIcon icon(nullptr);
        icon.SetHint(r.hint);
        EXPECT_EQ(icon.Hint(), r.expected);
        EXPECT_EQ(icon.TrayToolTip(), r.expected);
        icon.SetShowHint(false);
        EXPECT_EQ(icon.TrayToolTip(), QString());
    }
}

TEST(TrayIcon, ClicksRaiseTheirEvents) {
    using R = QSystemTrayIcon::ActivationReason;
    struct {
        const char* name;
        std::vector<R> reasons;
        bool enabled;
        bool withDblClick;
        int clicks;
        int doubleClicks;
        int defaultEntry;
    } const rows[] = {
        {"one click", {R::Trigger}, true, false, 1, 0, 0},
        // The host reports the first press of a double click as a click of its own.
        {"double click shows once", {R::Trigger, R::DoubleClick}, true, false, 1, 0, 1},
        {"double click event", {R::Trigger, R::DoubleClick}, true, true, 1, 1, 1},
        {"right button and middle button", {R::Context, R::MiddleClick}, true, false, 0, 0, 0},
        {"disabled", {R::Trigger, R::DoubleClick}, false, true, 0, 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        QMenu menu;
        int clicks = 0, doubleClicks = 0, defaultEntry = 0;
        QAction* entry = menu.addAction(QStringLiteral("Sho&w"));
        QObject::connect(entry, &QAction::triggered, [&] { ++defaultEntry; });
        menu.setDefaultAction(entry);
        TTrayIcon icon(nullptr);
        icon.SetPopupMenu(&menu);
        icon.SetEnabled(r.enabled);
        icon.OnClick = [&] { ++clicks; };
        if (r.withDblClick) icon.OnDblClick = [&] { ++doubleClicks; };
        for (R reason : r.reasons) icon.Activate(reason);
        EXPECT_EQ(clicks, r.clicks);
        EXPECT_EQ(doubleClicks, r.doubleClicks);
        EXPECT_EQ(defaultEntry, r.defaultEntry);
    }
}

struct TWindowCase {
    QWidget window;
    TTestTrayIcon icon{&window};
    TWindowCase() { icon.SetMinimizeToTray(true); }
    void Settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }
};

TEST(TrayIcon, HideAndShowMainWindow) {
    for (bool tray : {true, false}) {
        SCOPED_TRACE(tray ? "with a tray" : "without a tray");
        TWindowCase c;
        c.icon.trayAvailable = tray;
        c.window.show();
        c.icon.HideMainWindow();
        c.Settle();
        // With nowhere to come back from, the window waits in the task bar.
        EXPECT_EQ(c.window.isVisible(), !tray);
        EXPECT_EQ(c.window.isMinimized(), !tray);
        c.icon.ShowMainWindow();
        c.Settle();
        EXPECT_TRUE(c.window.isVisible());
        EXPECT_FALSE(c.window.isMinimized());
    }
}

TEST(TrayIcon, MinimizingHidesToTheTray) {
    struct {
        const char* name;
        bool tray;
        bool rule;
        bool visibleAfter;
    } const rows[] = {
        {"rule on", true, true, false},
        {"rule off", true, false, true},
        {"no tray: stays in the task bar", false, true, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TWindowCase c;
        c.icon.trayAvailable = r.tray;
        c.icon.SetMinimizeToTray(r.rule);
        c.window.show();
        c.window.showMinimized();
        c.Settle();
        EXPECT_EQ(c.window.isVisible(), r.visibleAfter);
        EXPECT_TRUE(c.window.isMinimized());
        EXPECT_EQ(c.icon.IconVisible(), r.rule && r.tray);
        c.icon.ShowMainWindow();
        c.Settle();
        EXPECT_TRUE(c.window.isVisible());
        EXPECT_FALSE(c.window.isMinimized());
    }
}

TEST(TrayIcon, MaximizedWindowComesBackMaximized) {
    TWindowCase c;
    c.window.showMaximized();
    c.window.setWindowState(c.window.windowState() | Qt::WindowMinimized);
    c.Settle();
    EXPECT_FALSE(c.window.isVisible());
    c.icon.ShowMainWindow();
    EXPECT_TRUE(c.window.isVisible());
    EXPECT_EQ(c.window.windowState(), Qt::WindowMaximized);
}

TEST(TrayIcon, StartInTheTray) {
    for (bool tray : {true, false}) {
        SCOPED_TRACE(tray ? "with a tray" : "without a tray");
        TWindowCase c;
        c.icon.trayAvailable = tray;
        // While the window is being made, hiding it has nothing to act on.
        c.window.setWindowState(Qt::WindowMinimized);
        c.icon.HideMainWindow();
        EXPECT_FALSE(c.window.isVisible());
        // Shown minimized, the window goes to the tray if there is one.
        c.window.show();
        c.Settle();
        EXPECT_EQ(c.window.isVisible(), !tray);
        // A click on the icon brings it up for the first time.
        c.icon.ShowMainWindow();
        EXPECT_TRUE(c.window.isVisible());
        EXPECT_FALSE(c.window.isMinimized());
    }
}

TEST(TrayIcon, OwnerMayGoFirst) {
    auto window = std::make_unique<QWidget>();
    TTrayIcon icon(window.get());
    window.reset();
    icon.ShowMainWindow();
    icon.HideMainWindow();
}

}  // namespace
}  // namespace kavrel
