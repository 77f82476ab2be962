// "kavrel --check" as scripts run it: the real program, in a folder of its own with its
// settings file, without a display, beside a running copy.
#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>
#include <regex>

#include "app/command_line.h"
#include "app/single_instance.h"
#include "core/program_title.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/temp_dir.h"

namespace kavrel {
namespace {

using namespace kavrel::test;

TEST(CommandLine, Modes) {
    struct {
        std::vector<std::string> args;
        TRunMode mode;
        bool page;
    } const rows[] = {
        {{}, TRunMode::Window, false},
        {{"-tray"}, TRunMode::Window, false},
        {{"--check"}, TRunMode::Check, false},
        {{"--check", "--page"}, TRunMode::Check, true},
        {{"--page", "--check"}, TRunMode::Check, true},
        {{"-TRAY", "--check"}, TRunMode::Check, false},
        {{"--page"}, TRunMode::Invalid, false},
        {{"--chek"}, TRunMode::Invalid, false},
        {{"--check", "--help"}, TRunMode::Help, false},
        {{"--version"}, TRunMode::Version, false},
        {{"--version", "--bogus"}, TRunMode::Version, false},
        {{"--check", "--page", "--version"}, TRunMode::Version, false},
    };
    for (const auto& r : rows) {
        const TCommandLine line = ParseCommandLine(r.args);
        const std::string name = r.args.empty() ? "(none)" : r.args[0];
        EXPECT_EQ(line.Mode, r.mode) << name;
        EXPECT_EQ(line.Check.Page, r.page) << name;
        EXPECT_EQ(line.Error.empty(), r.mode != TRunMode::Invalid) << name;
    }
}

// What scripts and packagers ask the installed program before anything else.
TEST(CommandLine, AnswersAtOnce) {
    struct {
        const char* arg;
        int status;
        std::string out;
        bool whole;       // else a line the output must hold
        std::string err;  // how the error output starts
    } const rows[] = {
        {"--version", 0, std::string(kProgramTitle) + "\n", true, ""},
        {"--help", 0, "  --version  print the program's name and version\n", false, ""},
        {"--chek", 2, "", true, "kavrel: Unknown option \"--chek\"."},
    };
    for (const auto& r : rows) {
        QProcess p;
        p.start(QString::fromStdString(KAVREL_PROGRAM), {QString::fromLatin1(r.arg)});
        ASSERT_TRUE(p.waitForFinished(10000)) << r.arg;
        EXPECT_EQ(p.exitCode(), r.status) << r.arg;
        const std::string out = p.readAllStandardOutput().toStdString();
        if (r.whole)
            EXPECT_EQ(out, r.out) << r.arg;
        else
            EXPECT_NE(out.find(r.out), std::string::npos) << r.arg << ": " << out;
        const std::string err = p.readAllStandardError().toStdString();
        EXPECT_EQ(err.rfind(r.err, 0), 0u) << r.arg << ": " << err;
    }
}

class CheckCommand : public testing::Test {
  protected:
    void SetUp() override {
        server_.AddMessage("ann",
                           "From: Carol <carol@example.org>\nSubject: Minutes\n"
                           "Date: Tue, 15 Nov 1994 08:12:31 +0000\n\nbody\n");
        server_.AddMessage("ann", "From: dave@example.org\nSubject: Agenda\n\nbody\n");
        server_.AddMessage("bob", "From: <erin@example.org>\nSubject: Invoice\n\nbody\n");
        // The settings file is looked for beside the program.
        std::filesystem::copy_file(KAVREL_PROGRAM, program());
    }

    std::string program() const { return dir_ / "kavrel"; }
    std::string Host() const { return "127.0.0.1:" + std::to_string(server_.Port()); }

    void Settings(const std::string& bobPassword) {
        WriteFile(dir_ / "kavrel.ini", "[accounts]\nserver1=" + Host() +
                                           "\naccount1=ann\npw1=secret\nactive1=Y\n"
                                           "server2=" +
                                           Host() + "\naccount2=bob\npw2=" + bobPassword +
                                           "\nactive2=Y\n");
        // As the program saves it: a looser file would be tightened, and the check say so.
        std::filesystem::permissions(dir_ / "kavrel.ini", std::filesystem::perms::owner_read |
                                                              std::filesystem::perms::owner_write);
    }

    // Exit status and output, with the time on the first line taken out.
    std::pair<int, std::string> Run(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            env.remove(QString::fromLatin1(name));
        }
        p.setProcessEnvironment(env);
        p.start(QString::fromStdString(program()), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        const std::string err = p.readAllStandardError().toStdString();
        EXPECT_EQ(err, "") << "nothing on the error output";
        std::string out = p.readAllStandardOutput().toStdString();
        out =
            std::regex_replace(out, std::regex("^Checking accounts [^\n]*"), "Checking accounts T");
        return {p.exitCode(), out};
    }

    TTempDir dir_;
    TDovecotServer server_{TDovecotServer::TUsers{{"ann", "secret"}, {"bob", "secret"}}};
};

TEST_F(CheckCommand, PrintsTheLogAndTheToolTipWithoutADisplay) {
    Settings("secret");
    // A running copy holds the single-instance lock; the check does not take part in it.
    TSingleInstance running;
    ASSERT_TRUE(running.Acquire());

    const auto [status, out] = Run({"--check"});
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "Checking accounts T\nChecking " + Host() +
                       "->ann ... 2 messages waiting. (unencrypted)\nChecking " + Host() +
                       "->bob ... 1 messages waiting. (unencrypted)\n3 (2/1) waiting\n");

    const auto [pageStatus, page] = Run({"--check", "--page"});
    EXPECT_EQ(pageStatus, 0);
    for (const char* word : {"Minutes", "Agenda", "Invoice", "delete?3"}) {
        EXPECT_NE(page.find(word), std::string::npos) << word;
    }
}

TEST_F(CheckCommand, ExitsWithOneWhenEveryAccountFailed) {
    Settings("wrong");
    EXPECT_EQ(Run({"--check"}).first, 0) << "ann still answers";
    WriteFile(dir_ / "kavrel.ini",
              "[accounts]\nserver1=" + Host() + "\naccount1=ann\npw1=wrong\nactive1=Y\n");
    const auto [status, out] = Run({"--check"});
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("->ann ... ERROR: "), std::string::npos) << out;
}

}  // namespace
}  // namespace kavrel
