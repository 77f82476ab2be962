#pragma once

#include <gtest/gtest.h>

#include <QStringList>
#include <memory>
#include <string>

#include "config/settings.h"
#include "config/u_globals.h"
#include "core/account_checks.h"
#include "core/mail_list.h"
#include "tests/support/temp_dir.h"
#include "ui/f_main.h"

namespace kavrel::test {

// A main window over a settings file of the test's own, with an empty message list.
class MainWindowTest : public testing::Test {
  protected:
    std::unique_ptr<TfMain> Open(const std::string& ini, const QStringList& args = {}) {
        WriteFile(dir_ / "kavrel.ini", ini);
        MailList.clear();
        AccountChecks = {};
        return std::make_unique<TfMain>(args, nullptr, [this] {
            AppPath = dir_.path() + "/";
            IniPath = dir_ / "kavrel.ini";
            Settings = PW_SETTINGS_TYPE{};
            const std::string said = LoadSettings();
            // Off: they would reach the desktop of whoever runs the tests. The notification
            // tests turn them on against a service of their own.
            Settings.NotifyOnNewMail = false;
            return said;
        });
    }

    TTempDir dir_;
};

}  // namespace kavrel::test
