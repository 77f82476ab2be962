#include "ui/placement_store.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <filesystem>
#include <memory>

#include "tests/ui/settings_fixture.h"
#include "ui/f_main.h"
#include "ui/f_settings.h"
#include "ui/message_seam.h"

namespace kavrel {
namespace {

using test::ReadFile;
using test::TSettingsFolder;
using test::WithDialog;
using test::WriteFile;

std::string Suffix() {
    const QSize s = QGuiApplication::primaryScreen()->size();
    return "(" + std::to_string(s.width()) + "x" + std::to_string(s.height()) + ")";
}

std::string Four(const QRect& r) {
    return std::to_string(r.left()) + "," + std::to_string(r.top()) + "," +
           std::to_string(r.left() + r.width()) + "," + std::to_string(r.top() + r.height());
}

class PlacementTest : public testing::Test {
  protected:
    // A main window over the folder's settings file as it stands.
    std::unique_ptr<TfMain> Start(const QStringList& args = {}) {
        return std::make_unique<TfMain>(args, nullptr, [this] {
            folder_.Load(nullptr);
            return std::string();
        });
    }
    void Show(TfMain& w) {
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    }
    // Where a main window opens when nothing is saved.
    QRect FreshPlace() {
        std::filesystem::rename(folder_.Ini(), folder_.Path("saved.ini"));
        const auto w = Start();
        Show(*w);
        const QRect place = w->geometry();
        w->hide();
        std::filesystem::rename(folder_.Path("saved.ini"), folder_.Ini());
        return place;
    }

    TSettingsFolder folder_;
};

TEST_F(PlacementTest, FirstHideWritesTheMainSection) {
    const auto w = Start();
    Show(*w);
    EXPECT_FALSE(std::filesystem::exists(folder_.Ini())) << "showing alone writes nothing";
    EXPECT_EQ(w->frameGeometry().center(),
              QGuiApplication::primaryScreen()->availableGeometry().center())
        << "with nothing saved the window opens centred";
    w->hide();
    const std::string norm = Four(w->geometry());
    EXPECT_EQ(ReadFile(folder_.Ini()),
              "[TfMain]\nFormVersion=0\nFlags=0\nShowCmd=1\nPixelsPerInch=96\n"
              "MinMaxPos" +
                  Suffix() +
                  "=-1,-1,-1,-1\nMinMaxPos=-1,-1,-1,-1\n"
                  "NormPos" +
                  Suffix() + "=" + norm + "\nNormPos=" + norm + "\nVisible=0\n");
}

TEST_F(PlacementTest, MovedWindowComesBackAfterHideAndRestart) {
    const QRect moved(37, 41, 402, 233);
    {
        const auto w = Start();
        Show(*w);
        w->setGeometry(moved);
        w->hide();
        w->setGeometry(200, 200, 360, 210);  // hidden windows can be moved by others
        Show(*w);
        EXPECT_EQ(w->geometry(), moved);
    }
    // Ended while shown: saved once more on the way out, as still visible.
    EXPECT_NE(ReadFile(folder_.Ini()).find("Visible=1\n"), std::string::npos);
    const auto w = Start();
    Show(*w);
    EXPECT_EQ(w->geometry(), moved);
}

TEST_F(PlacementTest, MinimizedMainWindowComesBackNormal) {
    const auto w = Start();
    Show(*w);
    w->setWindowState(Qt::WindowMinimized);
    w->hide();
    EXPECT_NE(ReadFile(folder_.Ini()).find("ShowCmd=2\n"), std::string::npos);
    w->setWindowState(Qt::WindowNoState);
    const auto again = Start();
    Show(*again);
    EXPECT_FALSE(again->isMinimized()) << "the main window's show state is not restored";
}

TEST_F(PlacementTest, WhichKeysApply) {
    const std::string here = "NormPos" + Suffix();
    struct {
        const char* name;
        std::string section;
        std::optional<QRect> expected;  // nothing: opens where an unsaved window opens
    } const rows[] = {
        {"plain keys", "NormPos=10,20,410,270\n", QRect(10, 20, 400, 250)},
        {"keys of this screen size win", here + "=30,40,430,290\nNormPos=10,20,410,270\n",
         QRect(30, 40, 400, 250)},
        {"another screen size falls back to the plain keys",
         "NormPos(9999x7777)=30,40,430,290\nNormPos=10,20,410,270\n", QRect(10, 20, 400, 250)},
        {"MinMaxPos alone applies nothing new", "MinMaxPos=-1,-1,-1,-1\n", std::nullopt},
        {"another dots per inch is ignored", "PixelsPerInch=144\nNormPos=10,20,410,270\n",
         std::nullopt},
        {"the same dots per inch applies", "PixelsPerInch=96\nNormPos=10,20,410,270\n",
         QRect(10, 20, 400, 250)},
        {"right not beyond left is ignored", "NormPos=300,20,300,270\n", std::nullopt},
        {"hexadecimal and blanks", "NormPos=0x0A 20, 410 ,270\n", QRect(10, 20, 400, 250)},
        {"a higher version applies", "FormVersion=3\nNormPos=10,20,410,270\n",
         QRect(10, 20, 400, 250)},
        {"a version below 0 is not restored", "FormVersion=-1\nNormPos=10,20,410,270\n",
         std::nullopt},
        {"off every screen: the frame into the near corner", "NormPos=-3000,-2000,-2600,-1750\n",
         std::nullopt},
        {"off every screen: the frame into the far corner", "NormPos=5000,5000,5400,5250\n",
         std::nullopt},
        {"the minimum size holds", "NormPos=10,20,110,70\n", QRect(10, 20, 350, 200)},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        WriteFile(folder_.Ini(), "[tfmain]\n" + r.section);
        const QRect fresh = FreshPlace();
        const auto w = Start();
        Show(*w);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const std::string name = r.name;
        if (r.expected) {
            EXPECT_EQ(w->geometry(), *r.expected);
        } else if (name.find("near corner") != std::string::npos) {
            EXPECT_EQ(w->frameGeometry().topLeft(), screen.topLeft());
            EXPECT_EQ(w->geometry().size(), QSize(400, 250));
        } else if (name.find("far corner") != std::string::npos) {
            EXPECT_EQ(w->frameGeometry().bottomRight(), screen.bottomRight());
            EXPECT_EQ(w->geometry().size(), QSize(400, 250));
        } else {
            EXPECT_EQ(w->geometry(), fresh);
        }
    }
}

TEST_F(PlacementTest, TrayStartLeavesTheSectionAlone) {
    const std::string before = "[TfMain]\nNormPos=10,20,410,270\nVisible=0\n[general]\n";
    WriteFile(folder_.Ini(), before);
    { const auto w = Start({"-TRAY"}); }
    EXPECT_EQ(ReadFile(folder_.Ini()), before);
}

TEST_F(PlacementTest, WriteFailureIsShownAndTheWindowGoesOn) {
    std::filesystem::create_directory(folder_.Ini());  // no file can take its place
    std::vector<QString> errors;
    const TScopedMessageResponder responder([&](QWidget*, const TMessageRequest& m) {
        errors.push_back(m.Text);
        return true;
    });
    const auto w = Start();
    Show(*w);
    w->hide();
    EXPECT_EQ(errors,
              std::vector<QString>{QString::fromStdString("Unable to write to " + folder_.Ini())});
    Show(*w);
    EXPECT_TRUE(w->isVisible());
}

TEST_F(PlacementTest, DialogReopensWhereItWasClosedAtItsSize) {
    folder_.Load("");
    QSize designed;
    WithDialog([&](TfSettings& d) {
        designed = d.size();
        EXPECT_EQ(d.minimumSize(), d.maximumSize()) << "a fixed frame";
        EXPECT_GE(designed.width(), TfSettings::kClientWidth);
        EXPECT_GE(designed.height(), TfSettings::kClientHeight);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_EQ(d.frameGeometry().center(), screen.center()) << "first opened centred";
        d.move(23, 19);
        d.close();
    });
    WithDialog([&](TfSettings& d) {
        EXPECT_EQ(d.pos(), QPoint(23, 19));
        EXPECT_EQ(d.size(), designed);
        QTest::mouseClick(d.btnClose, Qt::LeftButton);
    });
    // A size in the file is not applied to a fixed frame; the position is.
    WriteFile(folder_.Ini(), "[TfSettings]\nNormPos=50,60,51,61\n");
    WithDialog([&](TfSettings& d) {
        EXPECT_EQ(d.geometry().topLeft(), QPoint(50, 60));
        EXPECT_EQ(d.size(), designed);
        d.close();
    });
}

TEST_F(PlacementTest, DialogStateIsRestored) {
    folder_.Load("");
    WriteFile(folder_.Ini(), "[TfSettings]\nShowCmd=3\nNormPos=10,10,20,20\n");
    WithDialog([&](TfSettings& d) {
        EXPECT_TRUE(d.windowState() & Qt::WindowMaximized);
        d.close();
    });
}

}  // namespace
}  // namespace kavrel
