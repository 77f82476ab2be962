#include "ui/f_settings.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <filesystem>
#include <vector>

#include "config/autostart.h"
#include "config/u_globals.h"
#include "tests/ui/settings_fixture.h"
#include "ui/f_main.h"
#include "ui/file_name_edit.h"
#include "ui/message_seam.h"
#include "ui/spin_edit.h"

namespace kavrel {
namespace {

using test::Focus;
using test::ReadFile;
using test::TSettingsFolder;
using test::WithDialog;
using test::WriteFile;

void ClickClose(TfSettings& d) { QTest::mouseClick(d.btnClose, Qt::LeftButton); }

void ClearAndType(QLineEdit* box, const QString& text) {
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

// Types into the interval box as a user does, after emptying it.
void SpinType(TSpinEdit* spin, const char* text) {
    spin->findChild<QLineEdit*>()->selectAll();
    QTest::keyClick(spin, Qt::Key_Backspace);
    QTest::keyClicks(spin, text);
}

// The file without the dialog's placement section.
std::string SettingsPart(std::string file) {
    const auto start = file.find("[TfSettings]");
    if (start == std::string::npos) return file;
    const auto next = file.find("\n[", start);
    return file.erase(start, next == std::string::npos ? std::string::npos : next + 1 - start);
}

TEST(SettingsDialog, EnableRule) {
    struct {
        const char* name;
        const char* ini;
        std::function<void(TfSettings&)> edit;
        std::vector<bool> active;  // accounts 1 to 4 after closing
        const char* inFile;
    } const rows[] = {
        {"row 2 with a server and a login becomes usable",
         "",
         [](TfSettings& d) {
             EXPECT_FALSE(d.chkEnable2->isEnabled());
             QTest::keyClicks(d.txtServer2, "pop.example.org");
             EXPECT_FALSE(d.chkEnable2->isEnabled()) << "a server alone is not enough";
             QTest::keyClicks(d.txtAcct2, "ann");
             ASSERT_TRUE(d.chkEnable2->isEnabled());
             QTest::mouseClick(d.chkEnable2, Qt::LeftButton, {},
                               QPoint(8, d.chkEnable2->height() / 2));
             EXPECT_TRUE(d.chkEnable2->isChecked());
         },
         {false, true, false, false},
         "active2=Y"},
        {"row 3 with its login cleared is saved inactive though ticked",
         "[accounts]\nserver3=pop.example.org\naccount3=bob\nactive3=Y\n",
         [](TfSettings& d) {
             EXPECT_TRUE(d.chkEnable3->isEnabled());
             EXPECT_TRUE(d.chkEnable3->isChecked());
             ClearAndType(d.txtAcct3, "");
             EXPECT_FALSE(d.chkEnable3->isEnabled());
             EXPECT_TRUE(d.chkEnable3->isChecked()) << "greying keeps the tick";
         },
         {false, false, false, false},
         "active3=N"},
        {"blanks only count as empty",
         "[accounts]\nserver3=pop.example.org\naccount3=bob\nactive3=Y\n",
         [](TfSettings& d) { ClearAndType(d.txtAcct3, "   "); },
         {false, false, false, false},
         "account3=   \n"},
        {"a ticked row loaded without a login starts greyed",
         "[accounts]\nserver1=pop.example.org\nactive1=Y\nserver4=a\naccount4=b\nactive4=Y\n",
         [](TfSettings& d) {
             EXPECT_FALSE(d.chkEnable1->isEnabled());
             EXPECT_TRUE(d.chkEnable1->isChecked());
         },
         {false, false, false, true},
         "active1=N"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TSettingsFolder folder;
        folder.Load(r.ini);
        WithDialog([&](TfSettings& d) {
            r.edit(d);
            ClickClose(d);
        });
        for (int n = 1; n <= 4; ++n) EXPECT_EQ(Settings.Active[n], r.active[n - 1]) << n;
        EXPECT_NE(ReadFile(folder.Ini()).find(r.inFile), std::string::npos);
    }
}

TEST(SettingsDialog, IntervalBox) {
    struct {
        const char* name;
        std::function<void(TfSettings&)> act;  // ends with the dialog closed
        const char* shown;                     // the box's text at the end
        int saved;
    } const rows[] = {
        {"500 brought to 120 by clicking Close",
         [](TfSettings& d) {
             Focus(d.txtCheckInterval);
             SpinType(d.txtCheckInterval, "500");
             ClickClose(d);
         },
         "120", 120},
        {"500 taken as typed through the close box",
         [](TfSettings& d) {
             Focus(d.txtCheckInterval);
             SpinType(d.txtCheckInterval, "500");
             d.close();
         },
         "500", 500},
        {"0 brought to 1 by the Tab key",
         [](TfSettings& d) {
             Focus(d.txtCheckInterval);
             SpinType(d.txtCheckInterval, "0");
             QTest::keyClick(d.txtCheckInterval, Qt::Key_Tab);
             EXPECT_TRUE(d.chkUnhide->hasFocus());
             d.close();
         },
         "1", 1},
        {"empty reads as 1",
         [](TfSettings& d) {
             Focus(d.txtCheckInterval);
             SpinType(d.txtCheckInterval, "");
             ClickClose(d);
         },
         "", 1},
        {"letters refused with a beep",
         [](TfSettings& d) {
             QSignalSpy refused(d.txtCheckInterval, &TSpinEdit::Refused);
             QTest::keyClicks(d.txtCheckInterval, "a1b.");
             EXPECT_EQ(refused.count(), 3);
             ClickClose(d);
         },
         "51", 51},
        {"arrows step within the range",
         [](TfSettings& d) {
             Focus(d.txtCheckInterval);
             QTest::keyClick(d.txtCheckInterval, Qt::Key_Up);
             EXPECT_EQ(d.txtCheckInterval->Value(), 6);
             SpinType(d.txtCheckInterval, "119");
             QTest::keyClick(d.txtCheckInterval, Qt::Key_Up);
             QTest::keyClick(d.txtCheckInterval, Qt::Key_Up);
             EXPECT_EQ(d.txtCheckInterval->Value(), 120);
             SpinType(d.txtCheckInterval, "-7");
             QTest::keyClick(d.txtCheckInterval, Qt::Key_Down);
             EXPECT_EQ(d.txtCheckInterval->Value(), 1);
             QTest::keyClick(d.txtCheckInterval, Qt::Key_PageUp);
             d.close();
         },
         "11", 11},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TSettingsFolder folder;
        folder.Load("");
        QString shown;
        WithDialog([&](TfSettings& d) {
            r.act(d);
            shown = d.txtCheckInterval->findChild<QLineEdit*>()->text();
        });
        EXPECT_EQ(shown, r.shown);
        EXPECT_EQ(Settings.CheckInterval, r.saved);
        EXPECT_NE(ReadFile(folder.Ini()).find("checkinterval=" + std::to_string(r.saved) + "\n"),
                  std::string::npos);
    }
}

TEST(SettingsDialog, IntervalShownWithinRange) {
    TSettingsFolder folder;
    folder.Load("");
    for (const auto& [value, shown] :
         std::vector<std::pair<int, QString>>{{500, "120"}, {0, "1"}, {-3, "1"}, {77, "77"}}) {
        Settings.CheckInterval = value;
        TfSettings d;
        EXPECT_EQ(d.txtCheckInterval->findChild<QLineEdit*>()->text(), shown) << value;
    }
}

TEST(SettingsDialog, BrowsedPathsWithBlanksAreQuoted) {
    TSettingsFolder folder;
    std::filesystem::create_directories(folder.Path("my apps"));
    const std::string program = folder.Path("my apps") + "/mail prog";
    const std::string wave = folder.Path("my apps") + "/ding.wav";
    WriteFile(program, "#!/bin/sh\n");
    WriteFile(wave, "RIFF");
    folder.Load(("[general]\nnewmailwave=\"" + wave + "\"\n").c_str());
    EXPECT_EQ(Settings.NewMailWave, wave);

    std::vector<TFileDialogRequest> asked;
    std::optional<QString> answer;
    const TScopedFileChooser chooser([&](QWidget*, const TFileDialogRequest& r) {
        asked.push_back(r);
        return answer;
    });
    WithDialog([&](TfSettings& d) {
        // F4 in the box opens the dialog as the button does.
        answer = QString::fromStdString(program);
        QTest::keyClick(d.txtMailProgram, Qt::Key_F4);
        EXPECT_EQ(d.txtMailProgram->text().toStdString(), "\"" + program + "\"");
        answer = std::nullopt;  // a cancelled browse changes nothing
        QTest::keyClick(d.txtMailProgram, Qt::Key_F4);
        EXPECT_EQ(d.txtMailProgram->text().toStdString(), "\"" + program + "\"");

        answer = QString::fromStdString(folder.Path("my apps") + "/other.wav");
        auto* button = d.txtSound->findChild<QToolButton*>();
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(d.txtSound->text(), "\"" + *answer + "\"");
        ClickClose(d);
    });
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].Title, "Select your mail program");
    EXPECT_EQ(asked[0].Filter, "Programs (*)");
    EXPECT_EQ(asked[0].StartFolder.toStdString(), QDir::homePath().toStdString())
        << "an empty box starts at home";
    EXPECT_EQ(asked[1].StartFolder.toStdString(), folder.Path("my apps"));
    EXPECT_EQ(asked[1].FileName, "mail prog");
    EXPECT_EQ(asked[2].Filter, "Wave Files (*.wav)");
    EXPECT_EQ(asked[2].DefaultSuffix, "wav");
    EXPECT_EQ(asked[2].StartFolder.toStdString(), folder.Path("my apps"));
    EXPECT_EQ(asked[2].FileName, "ding.wav");

    // The program keeps its quotes for the run; the sound loses them at once.
    EXPECT_EQ(Settings.MailProgram, "\"" + program + "\"");
    EXPECT_EQ(Settings.NewMailWave, folder.Path("my apps") + "/other.wav");
    EXPECT_NE(ReadFile(folder.Ini()).find("mailprogram=\"" + program + "\"\n"), std::string::npos);
    folder.Load(nullptr);
    EXPECT_EQ(Settings.MailProgram, program) << "the next start reads it without the quotes";
}

TEST(SettingsDialog, DroppedFiles) {
    struct {
        const char* name;
        QList<QUrl> urls;
        const char* text;   // of the box afterwards
        const char* error;  // shown, or empty
    } const rows[] = {
        {"first file taken, quoted for its blank",
         {QUrl::fromLocalFile("/opt/mail tools/mua"), QUrl::fromLocalFile("/bin/sh")},
         "\"/opt/mail tools/mua\"",
         ""},
        {"plain path", {QUrl::fromLocalFile("/usr/bin/mutt")}, "/usr/bin/mutt", ""},
        {"invalid character refused",
         {QUrl::fromLocalFile("/tmp/a|b")},
         "old",
         "Invalid file name - /tmp/a|b"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<QString> errors;
        const TScopedMessageResponder responder([&](QWidget*, const TMessageRequest& m) {
            errors.push_back(m.Text);
            return true;
        });
        TFileNameEdit box;
        box.setText("old");
        QMimeData data;
        data.setUrls(r.urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&box, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&box, &drop);
        EXPECT_EQ(box.text(), r.text);
        EXPECT_EQ(errors, *r.error ? std::vector<QString>{r.error} : std::vector<QString>{});
    }
}

TEST(SettingsDialog, PasswordsShownOrStarred) {
    for (const bool visible : {true, false}) {
        TSettingsFolder folder;
        folder.Load(visible ? "[accounts]\npw2=secret\n[general]\nvisiblepassword=Y\n"
                            : "[accounts]\npw2=secret\n");
        WithDialog([&](TfSettings& d) {
            EXPECT_EQ(d.txtPass2->displayText(), visible ? "secret" : "******");
            EXPECT_EQ(d.txtPass4->echoMode(), visible ? QLineEdit::Normal : QLineEdit::Password);
            QTest::mouseClick(d.chkVisiblePass, Qt::LeftButton, {},
                              QPoint(8, d.chkVisiblePass->height() / 2));
            EXPECT_EQ(d.txtPass2->displayText(), visible ? "******" : "secret");
            ClickClose(d);
        });
        EXPECT_EQ(Settings.VisiblePassword, !visible);
        EXPECT_EQ(Settings.Password[2], "secret");
    }
}

TEST(SettingsDialog, EveryCloseSavesTheSame) {
    const char* ini =
        "[accounts]\nserver1= pop.example.org \naccount1=ann\npw1=x\nactive1=y\n"
        "[general]\ncheckinterval=$0A\nconfirmdelete=no\nnewmailwave=\"/s/d.wav\n";
    std::vector<std::string> files;
    const std::function<void(TfSettings&)> closers[] = {
        ClickClose,
        [](TfSettings& d) { d.close(); },
        [](TfSettings& d) {
            Focus(d.txtServer2);
            QTest::keyClick(d.txtServer2, Qt::Key_C, Qt::AltModifier);
        },
        [](TfSettings& d) { QTest::keyClick(d.txtServer2, Qt::Key_Escape); },
    };
    for (const auto& close : closers) {
        TSettingsFolder folder;
        folder.Load(ini);
        WithDialog(close);
        files.push_back(SettingsPart(ReadFile(folder.Ini())));
    }
    EXPECT_EQ(files[0],
              "[accounts]\nserver1=pop.example.org\naccount1=ann\npw1=x\nactive1=Y\n"
              "security1=starttls-if-offered\nserver2=\naccount2=\npw2=\nactive2=N\n"
              "security2=tls\nserver3=\naccount3=\npw3=\nactive3=N\nsecurity3=tls\n"
              "server4=\naccount4=\npw4=\nactive4=N\nsecurity4=tls\n"
              "[general]\ncheckinterval=10\nconfirmdelete=N\nnewmailwave=/s/d.wav\n"
              "startwithwindows=N\nvisiblepassword=N\nlaunchonnewmail=N\nshowonnewmail=N\n"
              "mailprogram=\n");
    for (std::size_t i = 1; i < files.size(); ++i) EXPECT_EQ(files[i], files[0]) << i;
}

TEST(SettingsDialog, FileWrittenFromNothing) {
    TSettingsFolder folder;
    folder.Load(nullptr);
    QRect placed;
    WithDialog([&](TfSettings& d) {
        QTest::keyClicks(d.txtServer1, "pop.example.org");
        QTest::keyClicks(d.txtAcct1, "ann");
        QTest::keyClicks(d.txtPass1, "pw");
        QTest::mouseClick(d.chkEnable1, Qt::LeftButton, {}, QPoint(8, d.chkEnable1->height() / 2));
        QTest::mouseClick(d.chkUnhide, Qt::LeftButton, {}, QPoint(8, d.chkUnhide->height() / 2));
        placed = d.geometry();
        ClickClose(d);
    });
    const QSize screen = QGuiApplication::primaryScreen()->size();
    const std::string suffix =
        "(" + std::to_string(screen.width()) + "x" + std::to_string(screen.height()) + ")";
    const std::string norm = std::to_string(placed.left()) + "," + std::to_string(placed.top()) +
                             "," + std::to_string(placed.left() + placed.width()) + "," +
                             std::to_string(placed.top() + placed.height());
    EXPECT_EQ(
        ReadFile(folder.Ini()),
        "[TfSettings]\nFormVersion=0\nFlags=0\nShowCmd=1\nPixelsPerInch=96\n"
        "MinMaxPos" +
            suffix +
            "=-1,-1,-1,-1\nMinMaxPos=-1,-1,-1,-1\n"
            "NormPos" +
            suffix + "=" + norm + "\nNormPos=" + norm +
            "\nVisible=0\n"
            "[accounts]\nserver1=pop.example.org\naccount1=ann\npw1=pw\nactive1=Y\n"
            "security1=tls\nserver2=\naccount2=\npw2=\nactive2=N\nsecurity2=tls\n"
            "server3=\naccount3=\npw3=\nactive3=N\nsecurity3=tls\n"
            "server4=\naccount4=\npw4=\nactive4=N\nsecurity4=tls\n"
            "[general]\nstartwithwindows=N\nvisiblepassword=N\nlaunchonnewmail=N\n"
            "showonnewmail=Y\nconfirmdelete=Y\ncheckinterval=5\nmailprogram=\nnewmailwave=\n");
}

// A new account starts at TLS; one from a file written before the choice shows what its text
// means; a choice made is saved.
TEST(SettingsDialog, SecurityChoice) {
    struct {
        const char* accounts;
        const char* shown;
        TSecurity saved;
    } const rows[] = {
        {"", "TLS", TSecurity::TLS},
        {"server1=pop.example.org", "STARTTLS when offered", TSecurity::WhenOffered},
        {"server1=pop3s://pop.example.org", "TLS", TSecurity::TLS},
        {"server1=pop.example.org:995", "TLS", TSecurity::TLS},
        {"server1=pop3://pop.example.org?tls=required", "STARTTLS", TSecurity::STARTTLS},
        {"server1=pop3s://pop.example.org\nsecurity1=None", "None", TSecurity::None},
    };
    for (const auto& r : rows) {
        TSettingsFolder folder;
        folder.Load((std::string("[accounts]\n") + r.accounts + "\n").c_str());
        QString shown;
        WithDialog([&](TfSettings& d) {
            shown = d.cboSecurity1->currentText();
            ClickClose(d);
        });
        EXPECT_EQ(shown.toStdString(), r.shown) << r.accounts;
        folder.Load(nullptr);
        EXPECT_EQ(Settings.Security[1], r.saved) << r.accounts;
    }
}

TEST(SettingsDialog, StartAtLoginFollowsTheBox) {
    TSettingsFolder folder;
    folder.Load("");
    const auto toggle = [](TfSettings& d) {
        QTest::mouseClick(d.chkStartWithWindows, Qt::LeftButton, {},
                          QPoint(8, d.chkStartWithWindows->height() / 2));
        ClickClose(d);
    };
    WithDialog(toggle);
    EXPECT_TRUE(Settings.StartWithWindows);
    EXPECT_EQ(ReadFile(AutostartEntryPath()), AutostartEntryText(ProgramFile));
    EXPECT_EQ(AutostartEntryPath(), folder.Path("config/autostart/kavrel.desktop"));
    WithDialog(toggle);
    EXPECT_FALSE(Settings.StartWithWindows);
    EXPECT_FALSE(std::filesystem::exists(AutostartEntryPath()));
}

TEST(SettingsDialog, TabOrder) {
    TSettingsFolder folder;
    folder.Load(
        "[accounts]\nserver1=a\naccount1=b\nserver2=a\naccount2=b\nserver3=a\naccount3=b\n"
        "server4=a\naccount4=b\n");
    WithDialog([](TfSettings& d) {
        const std::vector<QWidget*> expected = {d.chkStartWithWindows,
                                                d.txtCheckInterval,
                                                d.chkUnhide,
                                                d.chkNotify,
                                                d.txtMailProgram,
                                                d.chkAutoLaunch,
                                                d.txtSound,
                                                d.chkConfirmDelete,
                                                d.txtServer1,
                                                d.txtAcct1,
                                                d.txtPass1,
                                                d.cboSecurity1,
                                                d.chkEnable1,
                                                d.btnSignIn1,
                                                d.txtServer2,
                                                d.txtAcct2,
                                                d.txtPass2,
                                                d.cboSecurity2,
                                                d.chkEnable2,
                                                d.btnSignIn2,
                                                d.txtServer3,
                                                d.txtAcct3,
                                                d.txtPass3,
                                                d.cboSecurity3,
                                                d.chkEnable3,
                                                d.btnSignIn3,
                                                d.txtServer4,
                                                d.txtAcct4,
                                                d.txtPass4,
                                                d.cboSecurity4,
                                                d.chkEnable4,
                                                d.btnSignIn4,
                                                d.btnClose,
                                                d.chkVisiblePass,
                                                d.chkKeyringPasswords,
                                                d.chkStartWithWindows};
        Focus(d.chkStartWithWindows);
        std::vector<QWidget*> seen = {QApplication::focusWidget()};
        for (std::size_t i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen.push_back(QApplication::focusWidget());
        }
        EXPECT_EQ(seen, expected);
        d.close();
    });
}

// The main window's settings command: the dialog's values take effect as soon as it closes.
class SettingsCommandTest : public testing::Test {
  protected:
    std::unique_ptr<TfMain> Start(const char* ini) {
        return std::make_unique<TfMain>(QStringList{}, nullptr, [this, ini] {
            folder_.Load(ini);
            return std::string();
        });
    }
    TSettingsFolder folder_;
};

TEST_F(SettingsCommandTest, AppliedAtOnce) {
    WriteFile(folder_.Path("mailer"), "#!/bin/sh\n");
    const auto w = Start("");
    EXPECT_FALSE(w->actExternalMail->isEnabled());
    const QString mailer = QString::fromStdString(folder_.Path("mailer"));
    const TScopedFileChooser chooser([&](QWidget*, const TFileDialogRequest&) { return mailer; });
    WithDialog(
        [](TfSettings& d) {
            QTest::keyClick(d.txtMailProgram, Qt::Key_F4);
            SpinType(d.txtCheckInterval, "7");
            ClickClose(d);
        },
        [&] { w->actSettingsExecute(); });
    EXPECT_TRUE(w->actExternalMail->isEnabled());
    EXPECT_EQ(w->labCheckInterval->text(), "Checking every 7 minutes");
    EXPECT_EQ(w->Timer1->interval(), 7 * 60000);
    EXPECT_TRUE(w->Timer1->isActive());
}

TEST_F(SettingsCommandTest, TimerStaysSaneForNumbersTypedOutOfRange) {
    const auto w = Start("");
    struct {
        const char* typed;
        int interval;
    } const rows[] = {
        {"0", 60000}, {"-5", 60000}, {"500", 500 * 60000}, {"99999999", 35791 * 60000}};
    for (const auto& r : rows) {
        WithDialog(
            [&](TfSettings& d) {
                SpinType(d.txtCheckInterval, r.typed);
                d.close();  // the close box takes the number as typed
            },
            [&] { w->actSettingsExecute(); });
        EXPECT_EQ(Settings.CheckInterval, std::stoi(r.typed));
        EXPECT_EQ(w->Timer1->interval(), r.interval) << r.typed;
    }
}

TEST_F(SettingsCommandTest, ASecondCommandBringsTheOpenDialogForward) {
    const auto w = Start("");
    int dialogs = 0;
    WithDialog(
        [&](TfSettings& d) {
            // The tray menu's entry still works while the dialog is modal.
            w->actSettings->trigger();
            for (QWidget* t : QApplication::topLevelWidgets()) {
                if (qobject_cast<TfSettings*>(t) != nullptr) ++dialogs;
            }
            ClickClose(d);
        },
        [&] { w->actSettingsExecute(); });
    EXPECT_EQ(dialogs, 1);
}

TEST_F(SettingsCommandTest, RefusedStartAtLoginEntryStillApplies) {
    // A folder where the entry file belongs cannot be replaced by the entry.
    std::filesystem::create_directories(folder_.Path("config/autostart/kavrel.desktop/x"));
    const auto w = Start("");
    std::vector<QString> errors;
    const TScopedMessageResponder responder([&](QWidget*, const TMessageRequest& m) {
        errors.push_back(m.Text);
        return true;
    });
    WithDialog(
        [](TfSettings& d) {
            QTest::mouseClick(d.chkStartWithWindows, Qt::LeftButton, {},
                              QPoint(8, d.chkStartWithWindows->height() / 2));
            SpinType(d.txtCheckInterval, "9");
            ClickClose(d);
        },
        [&] { w->actSettings->trigger(); });
    EXPECT_EQ(errors, std::vector<QString>{"Failed to set data for 'kavrel'"});
    EXPECT_NE(ReadFile(folder_.Ini()).find("checkinterval=9\n"), std::string::npos);
    EXPECT_EQ(w->labCheckInterval->text(), "Checking every 9 minutes");
    EXPECT_TRUE(w->Timer1->isActive());
}

}  // namespace
}  // namespace kavrel
