#include "core/command_line_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "config/u_globals.h"
#include "core/login_pauses.h"
#include "core/mail_list.h"
#include "tests/support/pop3_script.h"
#include "tests/support/temp_dir.h"

namespace kavrel {
namespace {

using namespace kavrel::test;

const TScript kRefused = {SendLine("-ERR closed for the night"), Expect("QUIT"), Close()};

std::string Host(const TScriptServer& server) {
    return "127.0.0.1:" + std::to_string(server.Port());
}

void Account(int slot, const TScriptServer& server) {
    Settings.Active[slot] = true;
    Settings.Server[slot] = Host(server);
    Settings.Account[slot] = "ann";
    Settings.Password[slot] = "secret";
}

// The output with the time of its first line taken out.
std::string CheckOnce(const TCheckOptions& options, int& status) {
    std::ostringstream out;
    status = RunCommandLineCheck(options, out);
    std::string text = out.str();
    const auto end = text.find('\n');
    EXPECT_EQ(text.rfind("Checking accounts ", 0), 0u) << text;
    return "Checking accounts T" + text.substr(end);
}

class CommandLineCheck : public testing::Test {
  protected:
    void SetUp() override {
        Settings = PW_SETTINGS_TYPE{};
        MailList.clear();
    }
    TTempDir dir_;
};

TEST_F(CommandLineCheck, PrintsTheLogThenTheToolTip) {
    TScriptServer one(CheckSession({{"u1", "Hello"}}, All(1)));
    TScriptServer refused(kRefused);
    Account(1, one);
    Account(2, refused);
    // None of the window's reactions: the program is not started, the window not shown.
    const std::string started = dir_ / "started";
    Settings.MailProgram = dir_ / "mailer";
    WriteFile(Settings.MailProgram, "#!/bin/sh\ntouch '" + started + "'\n");
    ::chmod(Settings.MailProgram.c_str(), 0755);
    Settings.LaunchOnNewMail = true;
    Settings.ShowOnNewMail = true;

    int status = -1;
    EXPECT_EQ(CheckOnce({}, status),
              "Checking accounts T\nChecking " + Host(one) +
                  "->ann ... 1 messages waiting. (unencrypted)\nChecking " + Host(refused) +
                  "->ann ... ERROR:  closed for the night\n\n1 (1/0?) waiting\n");
    EXPECT_EQ(status, 0) << "one account answered";
    EXPECT_FALSE(std::filesystem::exists(started));
    EXPECT_TRUE(one.Finish()) << one.Report();
}

TEST_F(CommandLineCheck, FailsOnlyWhenEveryEnabledAccountFailed) {
    struct {
        const char* name;
        int refusedSlots;
        int workingSlots;
        int status;
    } const rows[] = {
        {"nothing enabled", 0, 0, 0},     {"one working", 0, 1, 0}, {"one of two failed", 1, 1, 0},
        {"the only one failed", 1, 0, 1}, {"both failed", 2, 0, 1},
    };
    for (const auto& r : rows) {
        SetUp();
        std::vector<std::unique_ptr<TScriptServer>> servers;
        int slot = 1;
        for (int i = 0; i < r.refusedSlots; ++i) {
            servers.push_back(std::make_unique<TScriptServer>(kRefused));
            Account(slot++, *servers.back());
        }
        for (int i = 0; i < r.workingSlots; ++i) {
            servers.push_back(
                std::make_unique<TScriptServer>(LogIn() + Uidl({}) + Stat(0) + Quit()));
            Account(slot++, *servers.back());
        }
        int status = -1;
        CheckOnce({}, status);
        EXPECT_EQ(status, r.status) << r.name;
    }
}

TEST_F(CommandLineCheck, PageInsteadOfTheToolTip) {
    TScriptServer one(CheckSession({{"u1", "Quarterly <report> & more"}}, All(1)));
    Account(1, one);
    int status = -1;
    const std::string out = CheckOnce({.Page = true}, status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("\n<body><table"), std::string::npos) << out;
    EXPECT_NE(out.find("Quarterly &lt;report&gt; &amp; more"), std::string::npos) << out;
    EXPECT_NE(out.find("delete?1"), std::string::npos);
    EXPECT_EQ(out.find("waiting\n"), std::string::npos) << "no tool-tip line";
    EXPECT_EQ(out.back(), '\n');
}

// A refusal with a response code says what it means; one that asks the account to wait keeps
// the next check from logging in at all.
TEST_F(CommandLineCheck, ResponseCodesExplainAndPostpone) {
    struct {
        const char* reply;
        const char* says;
        bool waits;
    } const rows[] = {
        {"-ERR [LOGIN-DELAY] wait", " (the server allows one log-in every 15 minutes: the next at ",
         true},
        {"-ERR [IN-USE] busy", " (another program is using this mailbox: tried again after ", true},
        {"-ERR [SYS/TEMP] later", " (a passing fault at the server: tried again at the next check)",
         false},
        {"-ERR [AUTH] no", "->ann ... ERROR:  [AUTH] no\n", false},
        {"-ERR no", "->ann ... ERROR:  no\n", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reply);
        ClearLoginPauses();
        int status = -1;
        {
            TScriptServer server(TScript{SendLine("+OK ready")} +
                                 Capa({"USER", "LOGIN-DELAY 900"}) +
                                 TScript{Expect("USER ann"), SendLine("+OK"), Expect("PASS secret"),
                                         SendLine(row.reply), Expect("QUIT"), Close()});
            Account(1, server);
            const std::string first = CheckOnce({}, status);
            EXPECT_NE(first.find(row.says), std::string::npos) << first;
            EXPECT_TRUE(server.Finish()) << server.Report();
        }
        // The server is gone: an account that does not wait is refused at once.
        const std::string second = CheckOnce({}, status);
        EXPECT_EQ(second.find(" ... not checked: the server allows the next log-in at ") !=
                      std::string::npos,
                  row.waits)
            << second;
    }
    ClearLoginPauses();
}

}  // namespace
}  // namespace kavrel
