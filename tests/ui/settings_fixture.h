#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>

#include "config/settings.h"
#include "config/u_globals.h"
#include "tests/support/temp_dir.h"
#include "ui/f_settings.h"

namespace kavrel::test {

// A settings folder of the test's own: the globals point into it, and the start-at-login
// entry goes below it too.
class TSettingsFolder {
  public:
    TSettingsFolder() : config_("XDG_CONFIG_HOME", dir_ / "config") {}

    std::string Ini() const { return dir_ / "kavrel.ini"; }
    std::string Path(const std::string& name) const { return dir_ / name; }

    // Writes the settings file (none when ini is null) and loads it as the program does.
    void Load(const char* ini) {
        if (ini != nullptr) WriteFile(Ini(), ini);
        AppPath = dir_.path() + "/";
        IniPath = Ini();
        ProgramFile = dir_ / "kavrel";
        Settings = PW_SETTINGS_TYPE{};
        LoadSettings();
    }

  private:
    TTempDir dir_;
    TScopedEnv config_;
};

// Gives the focus to a control as a click would, in an active window.
inline void Focus(QWidget* w) {
    w->window()->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(w->window()));
    w->setFocus(Qt::MouseFocusReason);
}

// Runs command (which opens the settings dialog modally); act gets the open dialog and must
// close it. A dialog that is still open after a while is closed so that a failing test ends.
inline void WithDialog(const std::function<void(TfSettings&)>& act,
                       const std::function<void()>& command) {
    bool acted = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TfSettings*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        acted = true;
        act(*dialog);
    });
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] {
        if (QWidget* open = QApplication::activeModalWidget()) {
            ADD_FAILURE() << "the settings dialog was left open";
            open->close();
        }
    });
    safety.start(10000);
    command();
    EXPECT_TRUE(acted) << "the settings dialog did not open";
}

inline void WithDialog(const std::function<void(TfSettings&)>& act) {
    WithDialog(act, [] { RunSettingsDialog(nullptr); });
}

}  // namespace kavrel::test
