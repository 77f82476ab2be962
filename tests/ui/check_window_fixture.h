#pragma once

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/script_server.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/page_viewer.h"

namespace kavrel::test {

inline std::string Host(const TScriptServer& server) {
    return "127.0.0.1:" + std::to_string(server.Port());
}

// A main window whose accounts point at scripted servers.
class CheckCycleTest : public MainWindowTest {
  protected:
    void SetUp() override { window = Open(""); }

    void Account(int slot, const TScriptServer& server, const std::string& user = "ann") {
        Settings.Active[slot] = true;
        Settings.Server[slot] = Host(server);
        Settings.Account[slot] = user;
        Settings.Password[slot] = "secret";
    }

    // The log with the time of its first line taken out.
    std::string Log() const {
        std::string log = window->LogText();
        const std::string start = "Checking accounts ";
        EXPECT_EQ(log.rfind(start, 0), 0u) << log;
        const auto end = log.find("\r\n");
        return "Checking accounts T" + (end == std::string::npos ? "" : log.substr(end));
    }

    // What every way out of a check or a deletion leaves behind.
    void ExpectIdle() const {
        EXPECT_FALSE(window->Busy);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(window->pbProgress->isHidden());
        EXPECT_TRUE(window->labProgress->isHidden());
        EXPECT_EQ(window->pbProgress->value(), 0);
        EXPECT_TRUE(window->labProgress->text().isEmpty());
    }

    std::vector<std::string> Uids() const {
        std::vector<std::string> out;
        for (const PW_MAIL& m : MailList) out.push_back(m.UID);
        std::sort(out.begin(), out.end());
        return out;
    }

    bool PageShows(const QString& word) const {
        for (const auto& box : window->html1->TextBoxes()) {
            if (box.text == word) return true;
        }
        return false;
    }

    std::unique_ptr<TfMain> window;
};

}  // namespace kavrel::test
