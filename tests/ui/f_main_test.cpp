#include "ui/f_main.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "config/u_globals.h"
#include "desktop/tray_text_icon.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/page_viewer.h"

namespace kavrel {
namespace {

using test::MainWindowTest;
using test::TTempDir;
using test::WriteFile;

// Every caption of the menus, the tool bar and the tray menu that show an action.
std::vector<QString> Captions(const QList<QAction*>& actions) {
    std::vector<QString> out;
    for (const QAction* a : actions) out.push_back(a->isSeparator() ? "-" : a->text());
    return out;
}

TEST_F(MainWindowTest, StartUpState) {
    const auto w = Open("");
    EXPECT_EQ(w->windowTitle(), "Kavrel v1.5");
    EXPECT_EQ(w->LogText().rfind("Started ", 0), 0u);
    EXPECT_EQ(w->txtTray->Text(), "n/a");
    EXPECT_EQ(w->labCheckInterval->text(), "Checking every 5 minutes");
    EXPECT_EQ(w->labLastChecked->text(), "Last Checked: n/a");
    EXPECT_EQ(w->labMessages->text(), "Messages waiting: n/a");
    EXPECT_TRUE(w->labMessages->font().bold());
    EXPECT_FALSE(w->Busy);
    EXPECT_TRUE(w->Timer1->isActive());
    EXPECT_EQ(w->tabMain->currentIndex(), 0);
    EXPECT_EQ(w->tabMain->tabText(0), "Pop Status");
    EXPECT_EQ(w->tabMain->tabText(1), "Messages");
    EXPECT_TRUE(w->txtTray->Hint().isEmpty()) << "no tool-tip before the first summary";
    // The message page holds the heading row only.
    std::vector<QString> words;
    for (const auto& box : w->html1->TextBoxes()) words.push_back(box.text);
    EXPECT_NE(std::find(words.begin(), words.end(), "Subject"), words.end());
    EXPECT_EQ(std::find(words.begin(), words.end(), "delete"), words.end());
}

// The window shows the built-in envelope, read at each size; not the tray's count picture,
// which only stands in when SVG cannot be read.
TEST_F(MainWindowTest, WindowIconIsTheEnvelopeAtEverySize) {
    const auto w = Open("");
    const QIcon icon = w->windowIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (const int size : {16, 24, 32, 48, 256}) EXPECT_TRUE(sizes.contains(QSize(size, size)));
    const QImage image = icon.pixmap(64, 64).toImage();
    ASSERT_EQ(image.size(), QSize(64, 64));
    EXPECT_EQ(image.pixelColor(40, 20).name(), "#d9302c") << "the badge of the envelope";
}

// A settings file too large to be one is not read, and the log says so.
TEST_F(MainWindowTest, AnOversizedSettingsFileIsReportedInTheLog) {
    const auto w = Open("[accounts]\nserver1=pop.example.org\n" + std::string(2 << 20, ';'));
    EXPECT_NE(w->LogText().find("\r\nThe settings file " + (dir_ / "kavrel.ini") +
                                " is larger than 1 MB and was not read."),
              std::string::npos);
    EXPECT_EQ(Settings.Server[1], "");
}

TEST_F(MainWindowTest, MenusToolBarAndTrayMenuInOrder) {
    const auto w = Open("");
    const QList<QAction*> menus = w->menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(Captions(menus[0]->menu()->actions()),
              (std::vector<QString>{"Check &Now", "&Settings", "-", "&Launch Mail Program", "-",
                                    "&Hide to Tray", "E&xit"}));
    EXPECT_EQ(Captions(menus[1]->menu()->actions()),
              (std::vector<QString>{"Check for &Updates", "-", "&About"}));
    EXPECT_EQ(Captions(w->ToolBar1->actions()),
              (std::vector<QString>{"&Hide to Tray", "-", "&Settings", "Check &Now", "-",
                                    "&Launch Mail Program"}));
    EXPECT_EQ(Captions(w->PopupMenu1->actions()),
              (std::vector<QString>{"&About", "-", "Check &Now", "&Settings", "-",
                                    "&Launch Mail Program", "-", "Sho&w", "E&xit"}));
    EXPECT_EQ(w->actCheck->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_EQ(w->actExit->shortcut(), QKeySequence("Ctrl+Q"));
    EXPECT_EQ(w->actUpdate->statusTip(), "Check with Vell's website for a new version of Kavrel");
}

TEST_F(MainWindowTest, ApplySettings) {
    WriteFile(dir_ / "mailer", "#!/bin/sh\n");
    struct {
        const char* interval;
        int ms;
        const char* label;
    } const intervals[] = {{"1", 60000, "Checking every 1 minutes"},
                           {"5", 300000, "Checking every 5 minutes"},
                           {"120", 7200000, "Checking every 120 minutes"}};
    for (const auto& r : intervals) {
        const auto w = Open(std::string("[general]\ncheckinterval=") + r.interval + "\n");
        EXPECT_EQ(w->Timer1->interval(), r.ms);
        EXPECT_EQ(w->labCheckInterval->text(), r.label);
    }
    struct {
        std::string program;
        bool enabled;
    } const programs[] = {{"", false},
                          {"   ", false},
                          {dir_ / "missing", false},
                          {dir_.path(), false},  // a folder is no program
                          {dir_ / "mailer", true}};
    for (const auto& p : programs) {
        const auto w = Open("[general]\nmailprogram=" + p.program + "\n");
        // One action stands behind the main menu, the tool bar and the tray menu entries.
        EXPECT_EQ(w->actExternalMail->isEnabled(), p.enabled) << p.program;
        EXPECT_TRUE(w->PopupMenu1->actions().contains(w->actExternalMail));
        EXPECT_TRUE(w->ToolBar1->actions().contains(w->actExternalMail));
    }
}

TEST_F(MainWindowTest, TrayArgument) {
    struct {
        QStringList args;
        bool tray;
    } const rows[] = {
        {{}, false}, {{" -tray"}, true}, {{"x", "-TRAY"}, false},  // the rule: core tests
    };
    for (const auto& r : rows) {
        EXPECT_EQ(Open("", r.args)->StartInTray(), r.tray) << r.args.join(' ').toStdString();
    }
}

TEST_F(MainWindowTest, SummaryReachesTheTrayAndTheLabel) {
    const auto w = Open("[accounts]\nactive1=Y\nactive3=Y\n");
    for (const int account : {1, 1, 3, 3, 3, 2}) AppendMail(MailList).AccountIndex = account;
    AppendMail(MailList).Removed = true;
    w->UpdateSummary();
    EXPECT_EQ(w->txtTray->Text(), "6");
    EXPECT_EQ(w->txtTray->Hint(), "6 (2/3) waiting");
    EXPECT_EQ(w->labMessages->text(), "6 messages waiting");
    EXPECT_EQ(MailList.size(), 6u);
}

TEST_F(MainWindowTest, LogAppendsPieces) {
    const auto w = Open("");
    w->SetLog("Checking accounts");
    w->AppendLog("\r\nmail.example.org ... ERROR: x");
    EXPECT_EQ(w->LogText(), "Checking accounts\r\nmail.example.org ... ERROR: x");
    EXPECT_EQ(w->txtStats->toPlainText(), "Checking accounts\nmail.example.org ... ERROR: x");
}

// From the smallest desktop font to a large one, at the smallest window and with the longest
// texts the labels show, no status label meets another and none is cut.
TEST_F(MainWindowTest, StatusLabelsHoldWithLargerFonts) {
    const struct TRestoreFont {
        QFont original = QApplication::font();
        ~TRestoreFont() { QApplication::setFont(original); }
    } restore;
    for (int points = 9; points <= 14; ++points) {
        SCOPED_TRACE(points);
        QFont font = restore.original;
        font.setPointSize(points);
        QApplication::setFont(font);
        const auto w = Open("");
        Settings.CheckInterval = 120;
        w->ApplySettings();
        w->SetLastChecked("Last Checked: 12:59p 12/31/2026");
        w->SetMessagesCaption("9999 messages waiting (4 accounts not checked)");
        w->resize(w->minimumSize());
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        QCoreApplication::processEvents();
        const QLabel* labels[] = {w->labCheckInterval, w->labMessages, w->labLastChecked};
        const QRect window = w->rect();
        for (const QLabel* l : labels) {
            const QRect g(l->mapTo(w.get(), QPoint(0, 0)), l->size());
            EXPECT_GE(g.width(), l->sizeHint().width()) << l->text().toStdString();
            EXPECT_GE(g.height(), l->sizeHint().height()) << l->text().toStdString();
            EXPECT_TRUE(window.contains(g)) << l->text().toStdString();
            EXPECT_TRUE(l->parentWidget()->rect().contains(l->geometry()))
                << l->text().toStdString();
        }
        for (int a = 0; a < 3; ++a) {
            for (int b = a + 1; b < 3; ++b) {
                EXPECT_FALSE(labels[a]->geometry().intersects(labels[b]->geometry()))
                    << labels[a]->text().toStdString() << " / " << labels[b]->text().toStdString();
            }
        }
    }
}

}  // namespace
}  // namespace kavrel
