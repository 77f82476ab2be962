// The mail check and the deletion through the real main window, against scripted servers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <regex>

#include "desktop/tray_text_icon.h"
#include "tests/support/pop3_script.h"
#include "tests/support/pulse_server.h"
#include "tests/ui/check_window_fixture.h"
#include "ui/message_seam.h"
#include "ui/page_viewer.h"

namespace kavrel {
namespace {

using namespace kavrel::test;

const std::vector<TScriptMessage> kTwo = {{"u1", "Hello", 1200}, {"u2", "World", 3400}};
const std::vector<TScriptMessage> kThree = {
    {"u1", "One", 100}, {"u2", "Two", 200}, {"u3", "Three", 300}};

TEST_F(CheckCycleTest, FirstCycleFindsAllNewAndTheSecondNothing) {
    const std::string started = dir_ / "started";
    const std::string mailer = dir_ / "mailer";
    WriteFile(mailer, "#!/bin/sh\necho started >> '" + started + "'\n");
    ::chmod(mailer.c_str(), 0755);
    TScriptServer server(CheckSession(kTwo, All(2)) + TScript{Accept()} + CheckSession(kTwo, {}));
    Account(1, server);
    Settings.MailProgram = mailer;
    Settings.LaunchOnNewMail = true;
    Settings.ShowOnNewMail = true;
    ASSERT_FALSE(window->isVisible());

    window->actCheck->trigger();
    const std::string line =
        "\r\nChecking " + Host(server) + "->ann ... 2 messages waiting. (unencrypted)";
    EXPECT_EQ(Log(), "Checking accounts T" + line);
    ASSERT_EQ(MailList.size(), 2u);
    const PW_MAIL& first = MailList[0].UID == "u1" ? MailList[0] : MailList[1];
    EXPECT_TRUE(first.Seen);
    EXPECT_FALSE(first.Removed);
    EXPECT_EQ(first.AccountIndex, 1);
    EXPECT_EQ(first.MsgNumber, 1);
    EXPECT_TRUE(std::regex_match(first.FoundAt, std::regex("[0-9]{1,2}:[0-9]{2}[ap]")))
        << first.FoundAt;
    EXPECT_EQ(first.SentAt, "11/15/1994 8:12a");
    EXPECT_EQ(first.MailBox, Host(server) + "->ann");
    EXPECT_EQ(first.FromAddress, "u1@example.org");
    EXPECT_EQ(first.Size, 1200);
    EXPECT_EQ(first.Subject, "Hello");
    EXPECT_EQ(window->labMessages->text(), "2 messages waiting");
    EXPECT_EQ(window->txtTray->Text(), "2");
    EXPECT_EQ(window->txtTray->Hint(), "2 emails waiting");
    EXPECT_TRUE(window->labLastChecked->text().startsWith("Last Checked: "));
    EXPECT_NE(window->labLastChecked->text(), "Last Checked: n/a");
    EXPECT_TRUE(PageShows("Hello") && PageShows("World"));
    EXPECT_TRUE(window->isVisible()) << "new mail brings the window back";
    EXPECT_TRUE(QTest::qWaitFor([&] { return ReadFile(started) == "started\n"; }, 5000));
    ExpectIdle();

    // The second cycle knows both: no sizes asked, nothing launched, nothing shown.
    for (PW_MAIL& m : MailList) m.FoundAt = "kept";
    window->hide();
    window->Timer1Timer();
    EXPECT_EQ(Log(), "Checking accounts T" + line);
    EXPECT_EQ(Uids(), (std::vector<std::string>{"u1", "u2"}));
    for (const PW_MAIL& m : MailList) EXPECT_EQ(m.FoundAt, "kept");
    EXPECT_FALSE(window->isVisible());
    QTest::qWait(300);
    EXPECT_EQ(ReadFile(started), "started\n") << "the mail program starts only for new mail";
    EXPECT_TRUE(server.Finish()) << server.Report();
    ExpectIdle();
}

// An account that could not be checked, or not to the end, is not an empty one: it keeps the
// messages of its last good check, every count says it is uncertain, and the next good check
// announces nothing that was already there.
TEST_F(CheckCycleTest, AFailedAccountKeepsItsMessagesAndAnnouncesNothingAgain) {
    const std::string started = dir_ / "started";
    Settings.MailProgram = dir_ / "mailer";
    WriteFile(Settings.MailProgram, "#!/bin/sh\necho started >> '" + started + "'\n");
    ::chmod(Settings.MailProgram.c_str(), 0755);
    Settings.LaunchOnNewMail = true;
    Settings.ShowOnNewMail = true;
    // Looked for only when there is new mail: its error line tells when the check thought so.
    Settings.NewMailWave = dir_ / "no-sound.wav";
    const TScript refused = {SendLine("-ERR [SYS/TEMP] try later"), Close()};
    const TScript cutOff =
        LogIn() + Uidl(kThree) + Stat(3) + Top(1, kThree[0]) + TScript{Expect("TOP 2 0"), Close()};
    const std::vector<TScriptMessage> afterOneWent = {kThree[0], kThree[2]};
    TScriptServer server(CheckSession(kThree, All(3)) + TScript{Accept()} + refused +
                         TScript{Accept()} + cutOff + TScript{Accept()} + CheckSession(kThree, {}) +
                         TScript{Accept()} + CheckSession(afterOneWent, {}));
    Account(1, server);
    const QString highlight = window->txtTray->Bitmap().pixelColor(0, 0).name();

    window->CheckMail();
    EXPECT_EQ(Uids(), (std::vector<std::string>{"u1", "u2", "u3"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ReadFile(started) == "started\n"; }, 5000));

    for (const char* failure : {"refused at log-in", "cut off in the loop"}) {
        SCOPED_TRACE(failure);
        window->hide();
        window->CheckMail();
        EXPECT_EQ(Uids(), (std::vector<std::string>{"u1", "u2", "u3"}));
        EXPECT_EQ(window->txtTray->Text(), "3");
        EXPECT_EQ(window->txtTray->Hint(), "3? emails waiting");
        EXPECT_EQ(window->labMessages->text(), "3 messages waiting (1 account not checked)");
        EXPECT_NE(window->txtTray->Bitmap().pixelColor(0, 0).name(), highlight);
        EXPECT_TRUE(PageShows("Three"));
        EXPECT_TRUE(PageShows("failed")) << "the group row says the check failed";
        EXPECT_FALSE(window->isVisible());
        ExpectIdle();
    }

    window->CheckMail();
    EXPECT_EQ(Log(), "Checking accounts T\r\nChecking " + Host(server) +
                         "->ann ... 3 messages waiting. (unencrypted)")
        << "no sound looked for: nothing is new";
    EXPECT_EQ(window->txtTray->Hint(), "3 emails waiting");
    EXPECT_EQ(window->txtTray->Bitmap().pixelColor(0, 0).name(), highlight);
    EXPECT_FALSE(PageShows("failed"));
    EXPECT_FALSE(window->isVisible());

    // A message gone from the server while its account answers is dropped.
    window->CheckMail();
    EXPECT_EQ(Uids(), (std::vector<std::string>{"u1", "u3"}));
    EXPECT_FALSE(PageShows("Two"));
    QTest::qWait(300);
    EXPECT_EQ(ReadFile(started), "started\n") << "the mail program started for new mail only";
    EXPECT_TRUE(server.Finish()) << server.Report();
    ExpectIdle();
}

// A header field no parser can read is the sender's doing: the message is tracked with what
// could be read, and the messages after it are checked.
TEST_F(CheckCycleTest, ABadHeaderHidesNoOtherMessage) {
    const TScript badFirst = {Expect("TOP 1 0"), SendLine("+OK"),
                              Send("From: Ann <a@b.c> via d@e.f\r\nSubject: One\r\n"),
                              SendLine(".")};
    TScript session = LogIn() + Uidl(kThree) + Stat(3) + badFirst + ListSize(1, kThree[0]);
    for (std::size_t r = 2; r <= 3; ++r)
        session += Top(r, kThree[r - 1]) + ListSize(r, kThree[r - 1]);
    TScriptServer server(session + Quit());
    Account(1, server);
    window->CheckMail();
    EXPECT_EQ(Log(),
              "Checking accounts T\r\nChecking " + Host(server) +
                  "->ann ... 3 messages waiting. (unencrypted)\r\nERROR retrieving message header "
                  "#1\r\n@ Outside address");
    EXPECT_EQ(Uids(), (std::vector<std::string>{"u1", "u2", "u3"}));
    EXPECT_EQ(window->txtTray->Hint(), "3 emails waiting") << "nothing uncertain about the count";
    EXPECT_TRUE(PageShows("One") && PageShows("Two") && PageShows("Three"));
    EXPECT_TRUE(server.Finish()) << server.Report();
    ExpectIdle();
}

// A server that lists PIPELINING gets the same commands in the same order, written before
// their replies are read: this script reads all six before it answers the first, which a
// client waiting for each reply would never get past.
TEST_F(CheckCycleTest, APipeliningServerGetsTheCommandsAhead) {
    const TScript pipelinedLogIn =
        TScript{SendLine("+OK ready")} + Capa({"PIPELINING", "TOP", "UIDL", "USER"}) +
        TScript{Expect("USER ann"), SendLine("+OK"), Expect("PASS secret"), SendLine("+OK")};
    // The third message is the first one again: known by then, so its size is not asked.
    const std::vector<TScriptMessage> again = {kThree[0], kThree[1], kThree[0]};
    const auto replies = [](TScript steps) {
        std::erase_if(steps,
                      [](const TScriptStep& t) { return t.Kind == TScriptStep::TKind::Expect; });
        return steps;
    };
    const TScript first = pipelinedLogIn + Uidl(again) + Stat(3) +
                          TScript{Expect("TOP 1 0"), Expect("LIST 1"), Expect("TOP 2 0"),
                                  Expect("LIST 2"), Expect("TOP 3 0")} +
                          replies(Top(1, again[0]) + ListSize(1, again[0]) + Top(2, again[1]) +
                                  ListSize(2, again[1]) + Top(3, again[2]));
    // The second cycle: seventy messages, more than one batch, only the last one new.
    std::vector<TScriptMessage> many;
    for (int i = 1; i <= 70; ++i) many.push_back({"m" + std::to_string(i), "S", 10});
    many[0] = kThree[0];
    many[1] = kThree[1];
    TScript second = pipelinedLogIn + Uidl(many) + Stat(many.size());
    for (std::size_t r = 1; r <= many.size(); ++r) {
        second += Top(r, many[r - 1]);
        if (r > 2) second += ListSize(r, many[r - 1]);
    }
    TScriptServer server(first + Quit() + TScript{Accept()} + second + Quit());
    Account(1, server);

    window->CheckMail();
    EXPECT_EQ(Log(), "Checking accounts T\r\nChecking " + Host(server) +
                         "->ann ... 3 messages waiting. (unencrypted)");
    EXPECT_EQ(Uids(), (std::vector<std::string>{"u1", "u2"}));
    window->CheckMail();
    EXPECT_EQ(MailList.size(), 70u);
    EXPECT_EQ(window->labMessages->text(), "70 messages waiting");
    EXPECT_TRUE(server.Finish()) << server.Report();
    ExpectIdle();
}

TEST_F(CheckCycleTest, AFailedAccountDoesNotStopTheNext) {
    TScriptServer refusing({SendLine("+OK ready"), Expect("CAPA"), SendLine("-ERR unknown command"),
                            Expect("USER ann"), SendLine("+OK"), Expect("PASS secret"),
                            SendLine("-ERR [AUTH] Authentication failed."), Expect("QUIT"),
                            Close()});
    TScriptServer working(CheckSession({kTwo[0]}, All(1)));
    Account(1, refusing);
    Account(3, working, "bob");
    // bob's login as the server above expects it
    Settings.Account[3] = "ann";

    window->CheckMail();
    EXPECT_EQ(Log(), "Checking accounts T\r\nChecking " + Host(refusing) +
                         "->ann ... ERROR:  [AUTH] Authentication failed.\r\n\r\nChecking " +
                         Host(working) + "->ann ... 1 messages waiting. (unencrypted)");
    EXPECT_EQ(window->txtTray->Hint(), "1 (0?/1) waiting");
    EXPECT_TRUE(refusing.Finish()) << refusing.Report();
    EXPECT_TRUE(working.Finish()) << working.Report();
    ExpectIdle();
}

TEST_F(CheckCycleTest, ListingShorterThanTheCount) {
    // The server refuses UIDL, so the listing is empty while STAT counts one message. With
    // an empty list the new entry is already appended when line 1 is read.
    TScriptServer bare(LogIn() + TScript{Expect("UIDL"), SendLine("-ERR not supported")} + Stat(1) +
                       Top(1, kTwo[0]) + Quit());
    Account(1, bare);
    window->CheckMail();
    EXPECT_EQ(Log(),
              "Checking accounts T\r\nChecking " + Host(bare) +
                  "->ann ... 1 messages waiting. (unencrypted)\r\nERROR retrieving message header "
                  "#1\r\nList index out of bounds (0)");
    ASSERT_EQ(MailList.size(), 1u);
    EXPECT_EQ(MailList[0].AccountIndex, 1);
    EXPECT_EQ(MailList[0].MsgNumber, 1);
    EXPECT_TRUE(MailList[0].UID.empty());
    EXPECT_TRUE(MailList[0].Subject.empty());
    EXPECT_TRUE(bare.Finish()) << bare.Report();
    ExpectIdle();

    // With an entry to compare against, the lookup reads the line and fails first.
    MailList.clear();
    TScriptServer full(CheckSession({kTwo[0]}, All(1)));
    TScriptServer bareAgain(LogIn() + TScript{Expect("UIDL"), SendLine("-ERR not supported")} +
                            Stat(1) + Top(1, kTwo[1]) + Quit());
    Account(1, full);
    Account(2, bareAgain);
    window->CheckMail();
    EXPECT_EQ(Uids(), std::vector<std::string>{"u1"});
    EXPECT_TRUE(full.Finish()) << full.Report();
    EXPECT_TRUE(bareAgain.Finish()) << bareAgain.Report();
}

TEST_F(CheckCycleTest, EmptyMailboxSendsNothingAfterStatButTheLogOut) {
    TScriptServer server(LogIn() + Uidl({}) + Stat(0) + Quit());
    Account(1, server);
    window->CheckMail();
    EXPECT_EQ(Log(), "Checking accounts T\r\nChecking " + Host(server) +
                         "->ann ... 0 messages waiting. (unencrypted)");
    EXPECT_EQ(window->labMessages->text(), "0 messages waiting");
    EXPECT_GT(window->pbProgress->maximum(), 0) << "a range of 0 to 0 is the busy animation";
    EXPECT_TRUE(server.Finish()) << server.Report();
    ExpectIdle();
}

TEST_F(CheckCycleTest, SkippedSlotsWriteNothing) {
    struct {
        const char* name;
        bool active;
        std::string server;
        std::string account;
    } const rows[] = {
        {"switched off", false, "pop.example.org", "ann"},
        {"server of blanks", true, "   ", "ann"},
        {"login of control characters", true, "pop.example.org", " \t\r"},
    };
    for (const auto& r : rows) {
        MailList.clear();
        AppendMail(MailList).UID = "old";
        Settings.Active[2] = r.active;
        Settings.Server[2] = r.server;
        Settings.Account[2] = r.account;
        window->CheckMail();
        EXPECT_EQ(Log(), "Checking accounts T") << r.name;
        EXPECT_TRUE(MailList.empty()) << r.name << ": an entry no check saw is dropped";
        EXPECT_EQ(window->labMessages->text(), "0 messages waiting") << r.name;
        EXPECT_NE(window->labLastChecked->text(), "Last Checked: n/a") << r.name;
        ExpectIdle();
    }
}

TEST_F(CheckCycleTest, CommandsDuringACheckLeaveNoTrace) {
    TScriptServer first(LogIn() + Uidl({kTwo[0]}) + Stat(1) +
                        TScript{Expect("TOP 1 0"), Stall(400), SendLine("+OK"),
                                Send(HeaderOf(kTwo[0])), SendLine(".")} +
                        ListSize(1, kTwo[0]) + Quit());
    TScriptServer second(CheckSession({kTwo[1]}, All(1)));
    Account(1, first);

    bool ranInside = false;
    std::string logInside;
    QTimer::singleShot(100, window.get(), [&] {
        ranInside = true;
        EXPECT_TRUE(window->Busy);
        EXPECT_FALSE(window->pbProgress->isHidden());
        EXPECT_EQ(window->labProgress->text().toStdString(), "Checking " + Host(first) + "->ann");
        logInside = window->LogText();
        window->actCheck->trigger();
        window->Timer1Timer();
        window->actUpdate->trigger();
        bool handled = false;
        window->html1HotSpotClick(window->html1, "delete?1", handled);
        EXPECT_TRUE(handled);
        EXPECT_EQ(window->LogText(), logInside);
        // A slot the check has not come to yet is read as it is when the check gets there.
        Account(2, second);
    });
    window->CheckMail();
    EXPECT_TRUE(ranInside);
    EXPECT_EQ(Log(), "Checking accounts T\r\nChecking " + Host(first) +
                         "->ann ... 1 messages waiting. (unencrypted)\r\nChecking " + Host(second) +
                         "->ann ... 1 messages waiting. (unencrypted)");
    EXPECT_EQ(Uids(), (std::vector<std::string>{"u1", "u2"}));
    EXPECT_TRUE(first.Finish()) << first.Report();
    EXPECT_TRUE(second.Finish()) << second.Report();
    ExpectIdle();
}

TEST_F(CheckCycleTest, MissingProgramAndSoundAreLogged) {
    TScriptServer server(CheckSession(kTwo, All(2)) + TScript{Accept()} + CheckSession(kTwo, {}));
    Account(1, server);
    Settings.MailProgram = dir_ / "no-mailer";
    Settings.NewMailWave = dir_ / "no-sound.wav";
    const std::string program = "\r\nERROR external mail program \"" + Settings.MailProgram +
                                "\" cannot be found. Please re-configure it.";
    const std::string sound = "\r\nERROR cannot find sound file \"" + Settings.NewMailWave +
                              "\". Please re-configure it.";
    const std::string account = "Checking accounts T\r\nChecking " + Host(server) +
                                "->ann ... 2 messages waiting. (unencrypted)";

    window->CheckMail();
    EXPECT_EQ(Log(), account + program + sound);
    window->CheckMail();
    EXPECT_EQ(Log(), account + program) << "the sound is looked for only with new mail";
    EXPECT_TRUE(server.Finish()) << server.Report();
}

TEST_F(CheckCycleTest, ASoundThatCannotBePlayedIsLogged) {
    TScriptServer server(CheckSession({kTwo[0]}, All(1)));
    Account(1, server);
    Settings.NewMailWave = dir_ / "chime.wav";
    WriteFile(Settings.NewMailWave, "this is no sound\n");
    window->CheckMail();
    EXPECT_EQ(
        Log(),
        "Checking accounts T\r\nChecking " + Host(server) +
            "->ann ... 1 messages waiting. (unencrypted)\r\nERROR unable to play sound file \"" +
            Settings.NewMailWave + "\"\r\nFormat not recognised.");
    EXPECT_FALSE(window->mpSound.IsOpen());
    ExpectIdle();
}

TEST_F(CheckCycleTest, TheCheckEndsOnlyAfterTheSound) {
    TPulseServer pulse;
    TScriptServer server(CheckSession({kTwo[0]}, All(1)));
    Account(1, server);
    Settings.NewMailWave = dir_ / "chime.wav";
    WriteFile(Settings.NewMailWave, ToneWave(0.6));
    const auto start = std::chrono::steady_clock::now();
    window->CheckMail();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 0.55);
    EXPECT_EQ(Log(), "Checking accounts T\r\nChecking " + Host(server) +
                         "->ann ... 1 messages waiting. (unencrypted)");
    ExpectIdle();
}

// One check of kTwo, then the deletion of "World" (u2, listed second) in a second session.
class DeletionTest : public CheckCycleTest {
  protected:
    void CheckThenDelete(const TScript& deletion, bool confirm, bool answer) {
        server = std::make_unique<TScriptServer>(CheckSession(kTwo, All(2)) + TScript{Accept()} +
                                                 deletion);
        Account(1, *server);
        window->CheckMail();
        ASSERT_EQ(MailList.size(), 2u);
        // Changed behind the page's back: it shows only once the page is built again.
        for (PW_MAIL& m : MailList) {
            if (m.UID == "u1") m.Subject = "Changed";
        }
        Settings.ConfirmDelete = confirm;
        TScopedMessageResponder responder([&](QWidget*, const TMessageRequest& request) {
            questions.push_back(request.Title.toStdString() + "|" + request.Text.toStdString());
            return answer;
        });
        std::int32_t position = 0;
        for (std::size_t i = 0; i < MailList.size(); ++i) {
            if (MailList[i].UID == "u2") position = std::int32_t(i + 1);
        }
        bool handled = false;
        window->html1HotSpotClick(window->html1, "delete?" + std::to_string(position), handled);
        EXPECT_TRUE(handled);
    }

    std::string DeletionLine() const {
        const std::string log = window->LogText();
        const auto at = log.find("\r\nDeleting");
        return at == std::string::npos ? "" : log.substr(at);
    }

    std::unique_ptr<TScriptServer> server;
    std::vector<std::string> questions;
};

TEST_F(DeletionTest, ConfirmedDeletionRemovesTheMessage) {
    for (bool confirm : {true, false}) {
        MailList.clear();
        questions.clear();
        CheckThenDelete(LogIn() + Uidl(kTwo) +
                            TScript{Expect("DELE 2"), SendLine("+OK Marked to be deleted.")} +
                            Quit(),
                        confirm, true);
        EXPECT_EQ(questions, confirm ? std::vector<std::string>{"Confirm delete|Delete message "
                                                                "with subject of \rWorld"}
                                     : std::vector<std::string>{});
        EXPECT_EQ(DeletionLine(), "\r\nDeleting email World ... message deleted");
        EXPECT_EQ(Uids(), std::vector<std::string>{"u1"});
        EXPECT_EQ(window->labMessages->text(), "1 messages waiting");
        EXPECT_FALSE(PageShows("World"));
        EXPECT_TRUE(PageShows("Changed"));
        EXPECT_TRUE(server->Finish()) << server->Report();
        ExpectIdle();
    }
}

TEST_F(DeletionTest, AnsweringNoSendsAndLogsNothing) {
    // Nothing is scripted after the check: a session would end in an error line.
    CheckThenDelete({}, true, false);
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_EQ(DeletionLine(), "");
    EXPECT_EQ(MailList.size(), 2u);
    ExpectIdle();
}

TEST_F(DeletionTest, NotFoundRebuildsARefusalDoesNot) {
    struct {
        const char* name;
        TScript deletion;
        std::string line;
        bool rebuilt;
    } const rows[] = {
        {"not listed any more", LogIn() + Uidl({kTwo[0]}) + Quit(),
         "\r\nDeleting email World ... message not found", true},
        {"DELE refused",
         LogIn() + Uidl(kTwo) + TScript{Expect("DELE 2"), SendLine("-ERR locked")} + Quit(),
         "\r\nDeleting email World ... ERROR deleting:  locked\r\n", false},
        {"login refused",
         TScript{SendLine("+OK ready"), Expect("CAPA"), SendLine("-ERR unknown command"),
                 Expect("USER ann"), SendLine("-ERR who?"), Expect("QUIT"), Close()},
         "\r\nDeleting email World ... ERROR deleting:  who?\r\n", false},
    };
    for (const auto& r : rows) {
        MailList.clear();
        CheckThenDelete(r.deletion, false, true);
        EXPECT_EQ(DeletionLine(), r.line) << r.name;
        EXPECT_EQ(MailList.size(), 2u) << r.name;
        for (const PW_MAIL& m : MailList) EXPECT_FALSE(m.Removed) << r.name;
        EXPECT_EQ(PageShows("Changed"), r.rebuilt) << r.name;
        EXPECT_TRUE(server->Finish()) << r.name << "\n" << server->Report();
        ExpectIdle();
    }
}

}  // namespace
}  // namespace kavrel
