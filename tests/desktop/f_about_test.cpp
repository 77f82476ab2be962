#include "desktop/f_about.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "update/update_hosts.h"

namespace kavrel {
namespace {

TEST(About, PagesAndTitle) {
    TfAbout box;
    EXPECT_EQ(box.PageControl1->count(), 2);
    EXPECT_EQ(box.PageControl1->tabText(0), QStringLiteral("License and Information"));
    EXPECT_EQ(box.PageControl1->tabText(1), QStringLiteral("History"));
    EXPECT_EQ(box.PageControl1->currentIndex(), 0);
    EXPECT_TRUE(box.Memo1->toPlainText().contains(QStringLiteral("plain text")));
    EXPECT_GE(box.labURL->width(), box.labURL->sizeHint().width());
    box.SetApplicationTitle(QString::fromLatin1(kProgramTitle));
    EXPECT_TRUE(box.labTitle->text().startsWith(QStringLiteral("Kavrel v1.5\nCopyright")));
    // Title and rights line fit their place whole.
    EXPECT_LE(box.labTitle->heightForWidth(box.labTitle->width()), box.labTitle->height());
    // The placeholder in any letter case, as often as it comes.
    box.labTitle->setText(QStringLiteral("##application_title## / ##Application_Title##"));
    box.SetApplicationTitle(QString::fromLatin1(kProgramTitle));
    EXPECT_EQ(box.labTitle->text(), QStringLiteral("Kavrel v1.5 / Kavrel v1.5"));
}

TEST(About, HistoryHeadingsAndItems) {
    TfAbout box;
    const QStringList lines = box.Memo2->toPlainText().split(u'\n');
    QStringList headings;
    std::vector<int> items;
    bool afterEmpty = true;
    for (const QString& line : lines) {
        if (line.isEmpty()) {
            afterEmpty = true;
        } else if (line.startsWith(QStringLiteral("  > "))) {
            ASSERT_FALSE(items.empty()) << line.toStdString();
            ++items.back();
        } else if (line.startsWith(QStringLiteral("    "))) {
            ASSERT_FALSE(items.empty() || items.back() == 0) << line.toStdString();
        } else {
            EXPECT_TRUE(afterEmpty) << "a version follows an empty line: " << line.toStdString();
            headings << line;
            items.push_back(0);
        }
        if (!line.isEmpty()) afterEmpty = false;
    }
    EXPECT_EQ(headings,
              (QStringList{"v1.5 - 26 nov 2003", "v1.4 - 24 nov 2003", "v1.3 - 20 nov 2003",
                           "v1.2 - 16 nov 2003 ", "v1.1 - 15 nov 2003 - initial release ",
                           "v1.0 - 13 nov 2003  - beta #1"}));
    EXPECT_EQ(items, (std::vector<int>{4, 3, 5, 3, 4, 0}));
    EXPECT_TRUE(box.Memo2->toPlainText().endsWith(QStringLiteral("beta #1\n\n")));
    EXPECT_TRUE(box.Memo2->font().fixedPitch() || box.Memo2->fontInfo().fixedPitch());
    EXPECT_EQ(box.Memo2->font().pixelSize(), 11);
}

TEST(About, EnterAndEscapeBothClose) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        SCOPED_TRACE(key);
        TfAbout box;
        QTimer::singleShot(0, &box, [&box, key] { QTest::keyClick(&box, key); });
        QTimer::singleShot(5000, &box, [&box] { box.done(-1); });  // not closed: fail, not hang
        EXPECT_EQ(box.exec(), QDialog::Accepted);
    }
}

TEST(About, AddressClickOpensTheSiteAndKeepsTheBox) {
    TfAbout box;
    std::vector<std::string> opened;
    box.Opener = [&](const std::string& target) { opened.push_back(target); };
    box.show();
    QTest::mouseClick(box.labURL, Qt::LeftButton);
    EXPECT_EQ(opened, std::vector<std::string>{WebAddress()});
    EXPECT_TRUE(box.isVisible());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    QTest::mouseClick(box.labURL, Qt::RightButton);
    EXPECT_EQ(opened.size(), 1u);
}

TEST(About, CentredOnTheScreenAndReleased) {
    QWidget owner;
    owner.setGeometry(0, 0, 200, 100);
    owner.show();
    QTimer::singleShot(0, &owner, [&owner] {
        auto* box = qobject_cast<TfAbout*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->labTitle->text().startsWith(QStringLiteral("Kavrel v1.5\n")));
        const QPoint off =
            box->frameGeometry().center() - owner.screen()->availableGeometry().center();
        // Within the width of a window frame, which each platform draws its own way.
        EXPECT_LE(off.manhattanLength(), 8) << off.x() << "," << off.y();
        box->btnClose->click();
    });
    actAboutExecute(&owner);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(owner.findChildren<TfAbout*>().isEmpty());
    EXPECT_TRUE(owner.isVisible());
}

}  // namespace
}  // namespace kavrel
