#include "desktop/shell_open.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCursor>
#include <QGuiApplication>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace kavrel {
namespace {

using test::TTempDir;

class ShellOpen : public testing::Test {
  protected:
    void SetUp() override {
        test::WriteFile(dir / "mailer", "#!/bin/sh\n");
        ::chmod((dir / "mailer").c_str(), 0755);
        test::WriteFile(dir / "notes.txt", "text\n");
        ::chmod((dir / "notes.txt").c_str(), 0644);
        std::filesystem::create_directory(dir / "folder");
        ::chmod((dir / "folder").c_str(), 0755);
        std::filesystem::create_symlink(dir / "mailer", dir / "link");
    }
    TTempDir dir;
};

TEST_F(ShellOpen, ProgramsStartDocumentsAndAddressesOpen) {
    struct {
        const char* name;
        std::string target;
        TShellAction action;
    } const rows[] = {
        {"executable file", dir / "mailer", TShellAction::StartDetached},
        {"link to one", dir / "link", TShellAction::StartDetached},
        {"document", dir / "notes.txt", TShellAction::OpenUrl},
        {"folder with the execute bit", dir / "folder", TShellAction::OpenUrl},
        {"missing file", dir / "gone", TShellAction::OpenUrl},
        {"web address", "https://kavrel.example.org/", TShellAction::OpenUrl},
        {"quoted path", "\"" + (dir / "mailer") + "\"", TShellAction::OpenUrl},
        {"empty", "", TShellAction::OpenUrl},
    };
    for (const auto& r : rows) EXPECT_EQ(ShellActionFor(r.target), r.action) << r.name;
}

TEST_F(ShellOpen, WhatTheDesktopIsAskedToOpen) {
    struct {
        const char* name;
        std::string target;
        QUrl url;
    } const rows[] = {
        {"document", dir / "notes.txt",
         QUrl::fromLocalFile(QString::fromStdString(dir / "notes.txt"))},
        {"folder", dir / "folder", QUrl::fromLocalFile(QString::fromStdString(dir / "folder"))},
        {"web address", "https://kavrel.example.org/a?b=1",
         QUrl(QStringLiteral("https://kavrel.example.org/a?b=1"))},
        {"bare host", "kavrel.example.org", QUrl(QStringLiteral("http://kavrel.example.org"))},
        {"mail address", "mailto:ann@example.org", QUrl(QStringLiteral("mailto:ann@example.org"))},
        // What the notification's "Open mail program" opens without a mail program set.
        {"the desktop's mail program", "mailto:", QUrl(QStringLiteral("mailto:"))},
    };
    for (const auto& r : rows) EXPECT_EQ(ShellUrlFor(r.target), r.url) << r.name;
}

TEST_F(ShellOpen, LaunchMailProgram) {
    struct {
        const char* name;
        std::string program;
        bool opened;
    } const rows[] = {
        {"program", dir / "mailer", true},
        {"document counts as a file", dir / "notes.txt", true},
        {"missing", dir / "gone", false},
        {"folder", dir / "folder", false},
        {"surrounding quotes", "\"" + (dir / "mailer") + "\"", false},
        {"trailing blank is part of the name", dir / "mailer" + " ", false},
        {"blank", "", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<std::string> opened;
        std::vector<QString> messages;
        bool waiting = false;
        ExternalMailExecute(
            r.program, [&](const QString& text) { messages.push_back(text); },
            [&](const std::string& target) {
                opened.push_back(target);
                waiting = QGuiApplication::overrideCursor() &&
                          QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
            });
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        if (r.opened) {
            EXPECT_EQ(opened, std::vector<std::string>{r.program});
            EXPECT_TRUE(waiting);
            EXPECT_TRUE(messages.empty());
        } else {
            EXPECT_TRUE(opened.empty());
            EXPECT_EQ(messages, std::vector<QString>{
                                    QStringLiteral("ERROR: unable to locate external mail "
                                                   "program \"") +
                                    QString::fromStdString(r.program) + QStringLiteral("\"")});
        }
    }
}

TEST_F(ShellOpen, StartsAProgramWithoutWaiting) {
    const std::string marker = dir / "started";
    test::WriteFile(dir / "touch", "#!/bin/sh\nsleep 0.2\n: > '" + marker + "'\n");
    ::chmod((dir / "touch").c_str(), 0755);
    OpenWithShell(dir / "touch");
    EXPECT_FALSE(std::filesystem::exists(marker));
    for (int i = 0; i < 100 && !std::filesystem::exists(marker); ++i) ::usleep(50000);
    EXPECT_TRUE(std::filesystem::exists(marker));
}

}  // namespace
}  // namespace kavrel
