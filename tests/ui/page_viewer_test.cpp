#include "ui/page_viewer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "core/delete_link.h"
#include "core/message_page.h"
#include "ui/palette_colors.h"

namespace kavrel {
namespace {

// Distinct colours, none of them the page's fixed white, so every area can be told apart.
class TTestColors : public TSystemColors {
  public:
    TColor GetSysColor(TSysColor which) const override {
        switch (which) {
            case TSysColor::ActiveCaption:
                return RGB(0x20, 0x40, 0x80);
            case TSysColor::CaptionText:
                return RGB(0xFF, 0xFF, 0xF0);
            case TSysColor::WindowText:
                return RGB(0x10, 0x10, 0x10);
            case TSysColor::InactiveCaption:
                return RGB(0x40, 0x80, 0x40);
            case TSysColor::BtnHighlight:
                return RGB(0xE0, 0xF0, 0xD0);
            case TSysColor::Window:
                return RGB(0xFF, 0xFF, 0xFF);
            case TSysColor::InfoText:
                return RGB(0xC0, 0x00, 0x30);
        }
        return 0;
    }
};

const QColor kHeading(0x20, 0x40, 0x80);
const QColor kGroup(0x40, 0x80, 0x40);
const QColor kOdd(0xFF, 0xFF, 0xFF);
const QColor kEven(0xE0, 0xF0, 0xD0);
const QColor kLink(0xC0, 0x00, 0x30);

const char* const kLongSubject = "A long subject that wraps when narrow";

TMailList Messages(int count) {
    TMailList list;
    for (int i = 0; i < count; ++i) {
        PW_MAIL& m = AppendMail(list);
        m.AccountIndex = i < 3 ? 1 : 2;
        m.MailBox = i < 3 ? "pop.example.org->ann" : "mail.example.net->bob";
        m.FromAddress = "sender" + std::to_string(i) + "@example.com";
        m.FoundAt = "10:0" + std::to_string(i % 10) + "a";
        m.SentAt = i % 2 ? "12/9/2026 9:03a" : "12/1/2026 9:03a";
        m.Size = std::int32_t(std::min<std::int64_t>(1000LL * (i + 1) * (i + 1), INT32_MAX));
        m.Subject = i == 1 ? kLongSubject : "Subject number " + std::to_string(i);
    }
    return list;
}

// The page of the list as the program builds it; the list is left in the page's order.
std::string PageOf(TMailList& list) {
    std::string page;
    BuildMessagePage(list, TTestColors{}, *TryEncodeDate(2026, 12, 9),
                     [&](const std::string& p) { page = p; });
    return page;
}

class Viewer {
  public:
    explicit Viewer(int width, int height = 700) {
        QPalette palette = view.palette();
        palette.setColor(QPalette::ToolTipText, kLink);
        view.setPalette(palette);
        view.resize(width, height);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
        view.OnHotSpotClick = [this](TPageViewer* sender, const std::string& src, bool& handled) {
            EXPECT_EQ(sender, &view);
            EXPECT_FALSE(handled);
            clicks.push_back(src);
            // As the main window does, with the deletion still to come.
            handled = ActOnDeleteLink(src, [](std::int32_t) {});
        };
    }

    void Load(const std::string& page) {
        view.LoadFromString(page);
        QCoreApplication::processEvents();  // let a scroll bar come or go
    }

    QImage Image() { return view.viewport()->grab().toImage(); }

    // The nth box (from 0) showing exactly this text.
    QRect Box(const QString& text, int nth = 0) const {
        for (const auto& b : view.TextBoxes()) {
            if (b.text == text && nth-- == 0) return b.rect;
        }
        ADD_FAILURE() << "no box " << text.toStdString();
        return {};
    }

    // The box showing this text in the same table row as the box showing another.
    QRect BoxBeside(const QString& text, const QString& rowOf) const {
        int row = -2;
        for (const auto& b : view.TextBoxes()) {
            if (b.text == rowOf) row = b.row;
        }
        for (const auto& b : view.TextBoxes()) {
            if (b.text == text && b.row == row) return b.rect;
        }
        ADD_FAILURE() << "no box " << text.toStdString() << " beside " << rowOf.toStdString();
        return {};
    }

    QWidget* Port() { return view.viewport(); }

    TPageViewer view;
    std::vector<std::string> clicks;
};

std::string Name(const QColor& c) { return c.name().toStdString(); }

class ViewerAtWidth : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        list = Messages(5);
        viewer.Load(PageOf(list));
        // Set KAVREL_TEST_IMAGES to a folder to look at what was checked.
        if (const QString dir = qEnvironmentVariable("KAVREL_TEST_IMAGES"); !dir.isEmpty()) {
            viewer.Image().save(dir + QStringLiteral("/page_%1.png").arg(GetParam()));
        }
    }

    TMailList list;
    Viewer viewer{GetParam()};
};

TEST_P(ViewerAtWidth, RowBackgroundsLieWhereTheRowsAre) {
    const QImage image = viewer.Image();
    // Just left of a row's first word lies its cell's padding, which shows the row's colour.
    const auto backAt = [&](const QRect& word) {
        return image.pixelColor(word.left() - 2, word.center().y());
    };
    EXPECT_EQ(Name(backAt(viewer.Box("MailBox"))), Name(kHeading));
    EXPECT_EQ(Name(backAt(viewer.Box("pop.example.org->ann"))), Name(kGroup));
    EXPECT_EQ(Name(backAt(viewer.Box("mail.example.net->bob"))), Name(kGroup));
    for (std::size_t i = 0; i < list.size(); ++i) {
        const QRect from = viewer.Box(QString::fromStdString(list[i].FromAddress));
        EXPECT_EQ(Name(backAt(from)), Name(i % 2 == 0 ? kOdd : kEven)) << "row " << i + 1;
        // The row's colour runs under its last cell too.
        const QRect link = viewer.Box("delete", int(i));
        EXPECT_EQ(Name(image.pixelColor(link.left() - 2, from.center().y())),
                  Name(i % 2 == 0 ? kOdd : kEven));
    }
    const QRect last = viewer.Box("delete", int(list.size()) - 1);
    EXPECT_EQ(Name(image.pixelColor(10, last.bottom() + 30)),
              Name(viewer.view.palette().color(QPalette::Base)))
        << "below the table";
}

TEST_P(ViewerAtWidth, NarrowColumnsKeepTheirWordsAndSubjectTakesTheRest) {
    const int width = viewer.Port()->width();
    EXPECT_LE(viewer.view.PageSize().width(), width) << "no sideways scrolling needed";
    std::set<QString> words;
    for (const auto& m : list) {
        for (const std::string& text : {m.FromAddress, m.FoundAt, m.SentAt, m.Subject}) {
            for (const QString& w : QString::fromStdString(text).split(u' ')) words.insert(w);
        }
        words.insert(QString::fromStdString(m.SentAt).split(u' ').back());
    }
    for (const auto& b : viewer.view.TextBoxes()) {
        if (b.row < 2 || b.text == u" ") continue;  // heading and first group
        if (b.text.contains(u"->") || b.text == u"delete" || b.text.endsWith(u'k') ||
            b.text.toInt() > 0) {
            continue;  // group labels, links, sizes
        }
        EXPECT_TRUE(words.count(b.text)) << "broken word: " << b.text.toStdString();
    }
    for (const auto& m : list) {
        // One line per narrow cell: the address lies level with its row's found time.
        EXPECT_EQ(viewer.Box(QString::fromStdString(m.FromAddress)).top(),
                  viewer.Box(QString::fromStdString(m.FoundAt)).top());
    }
    // The link column sits at the right edge: the subject column took all the rest.
    const QRect link = viewer.Box("delete");
    EXPECT_GT(link.right(), width - 12);
    const QRect size = viewer.Box("Size");
    const QRect subject = viewer.Box("Subject");
    EXPECT_LT(subject.left() - size.right(), 16);
    const int longLines = [&] {
        std::set<int> tops;
        for (const QString& w : QString(kLongSubject).split(u' ')) tops.insert(viewer.Box(w).top());
        return int(tops.size());
    }();
    EXPECT_EQ(longLines > 1, GetParam() < 600) << "the long subject wraps only when narrow";
}

TEST_P(ViewerAtWidth, NbspDrawsAsABlank) {
    const auto& boxes = viewer.view.TextBoxes();
    for (const auto& b : boxes) EXPECT_FALSE(b.text.contains(u"nbsp")) << b.text.toStdString();
    const QRect blank = viewer.Box(QString(QChar(0x00A0)));
    ASSERT_GT(blank.width(), 0);
    const QImage image = viewer.Image();
    for (int x = blank.left(); x <= blank.right(); ++x) {
        for (int y = blank.top(); y <= blank.bottom(); ++y) {
            ASSERT_EQ(Name(image.pixelColor(x, y)), Name(kHeading)) << x << "," << y;
        }
    }
}

TEST_P(ViewerAtWidth, ClickOnALinkRaisesItsHrefAndBesideItNothing) {
    QTest::mouseClick(viewer.Port(), Qt::LeftButton, {}, viewer.Box("delete", 2).center());
    EXPECT_EQ(viewer.clicks, std::vector<std::string>{"delete?3"});
    viewer.clicks.clear();
    for (int i = 0; i < int(list.size()); ++i) {
        const QRect link = viewer.Box("delete", i);
        for (const QPoint beside : {QPoint(link.left() - 3, link.center().y()),
                                    QPoint(link.right() + 3, link.center().y()),
                                    QPoint(link.center().x(), link.top() - 3),
                                    QPoint(link.center().x(), link.bottom() + 3)}) {
            QTest::mouseClick(viewer.Port(), Qt::LeftButton, {}, beside);
        }
    }
    EXPECT_TRUE(viewer.clicks.empty()) << viewer.clicks.front();
}

TEST_P(ViewerAtWidth, LinksInTheToolTipColourHoverIncludedWithTheHand) {
    const QRect link = viewer.Box("delete", 1);
    const auto linkColoured = [&] {
        const QImage image = viewer.Image();
        int count = 0;
        for (int x = link.left(); x <= link.right(); ++x) {
            for (int y = link.top(); y <= link.bottom(); ++y) {
                count += image.pixelColor(x, y) == kLink;
            }
        }
        return count;
    };
    EXPECT_GT(linkColoured(), link.width()) << "at least its underline";
    EXPECT_NE(viewer.Port()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(viewer.Port(), link.center());
    EXPECT_EQ(viewer.Port()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_GT(linkColoured(), link.width());
    QTest::mouseMove(viewer.Port(), viewer.Box("Subject").center());
    EXPECT_EQ(viewer.Port()->cursor().shape(), Qt::IBeamCursor);
}

INSTANTIATE_TEST_SUITE_P(Widths, ViewerAtWidth, ::testing::Values(700, 480));

TEST(PageViewer, TheEmptyPageIsTheHeadingAcrossTheWidth) {
    for (const int width : {700, 480}) {
        TMailList none;
        Viewer viewer(width);
        viewer.Load(PageOf(none));
        const QImage image = viewer.Image();
        if (const QString dir = qEnvironmentVariable("KAVREL_TEST_IMAGES"); !dir.isEmpty()) {
            image.save(dir + QStringLiteral("/empty_%1.png").arg(width));
        }
        QStringList texts;
        for (const auto& b : viewer.view.TextBoxes()) texts << b.text;
        EXPECT_EQ(texts.join(u'|'), QStringLiteral(u"MailBox|From|Recvd|Sent|Size|Subject|\u00A0"));
        const QRect subject = viewer.Box("Subject");
        const QRect blank = viewer.Box(QString(QChar(0x00A0)));
        const int y = subject.center().y();
        EXPECT_EQ(Name(image.pixelColor(blank.center().x(), y)), Name(kHeading)) << width;
        EXPECT_GT(blank.right(), viewer.Port()->width() - 12) << width;
        EXPECT_EQ(Name(image.pixelColor(viewer.Port()->width() / 2, subject.bottom() + 20)),
                  Name(viewer.view.palette().color(QPalette::Base)))
            << width;
        EXPECT_EQ(viewer.view.verticalScrollBar()->maximum(), 0);
    }
}

TEST(PageViewer, ASubjectCanBeSelectedAndCopied) {
    TMailList list = Messages(5);
    Viewer viewer(700);
    viewer.Load(PageOf(list));
    const std::size_t row = 2;  // "Subject number 0" after the sort
    const QString subject = QString::fromStdString(list[row].Subject);
    const QStringList words = subject.split(u' ');
    const QString from = QString::fromStdString(list[row].FromAddress);
    const QRect first = viewer.BoxBeside(words.front(), from);
    const QRect last = viewer.BoxBeside(words.back(), from);
    ASSERT_EQ(first.top(), last.top());
    QTest::mousePress(viewer.Port(), Qt::LeftButton, {},
                      QPoint(first.left() + 1, first.center().y()));
    QTest::mouseMove(viewer.Port(), QPoint(last.center().x(), last.center().y()));
    QTest::mouseMove(viewer.Port(), QPoint(last.right() + 1, last.center().y()));
    QTest::mouseRelease(viewer.Port(), Qt::LeftButton, {},
                        QPoint(last.right() + 1, last.center().y()));
    EXPECT_EQ(viewer.view.SelectedText(), subject);
    EXPECT_TRUE(viewer.clicks.empty());
    if (const QString dir = qEnvironmentVariable("KAVREL_TEST_IMAGES"); !dir.isEmpty()) {
        viewer.Image().save(dir + QStringLiteral("/selection.png"));
    }

    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&viewer.view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), subject);

    // The selection shows in the highlight colour.
    const QImage image = viewer.Image();
    EXPECT_EQ(image.pixelColor(first.left() + 1, first.top() + 1),
              viewer.view.palette().color(QPalette::Highlight));

    // The context menu's Copy does the same; a plain click then clears the selection.
    QGuiApplication::clipboard()->clear();
    const auto menu = viewer.view.CreateContextMenu();
    ASSERT_FALSE(menu->actions().empty());
    QAction* copy = menu->actions().front();
    EXPECT_TRUE(copy->isEnabled());
    copy->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), subject);
    QTest::mouseClick(viewer.Port(), Qt::LeftButton, {},
                      QPoint(first.left() + 1, first.center().y()));
    EXPECT_FALSE(viewer.view.HasSelection());
    EXPECT_FALSE(viewer.view.CreateContextMenu()->actions().front()->isEnabled());
}

TEST(PageViewer, SelectAllCopiesRowsAsLinesAndCellsTabbed) {
    TMailList list = Messages(2);
    Viewer viewer(700);
    viewer.Load(PageOf(list));
    QTest::keyClick(&viewer.view, Qt::Key_A, Qt::ControlModifier);
    const QStringList lines = viewer.view.SelectedText().split(u'\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "MailBox");
    EXPECT_EQ(lines[1], "From\tRecvd\tSent\tSize\tSubject\t ");
    EXPECT_EQ(lines[2], "pop.example.org->ann");
    ASSERT_EQ(list[0].Size, 1000);
    EXPECT_EQ(lines[3].toStdString(), list[0].FromAddress + "\t" + list[0].FoundAt + "\t" +
                                          list[0].SentAt + "\t1000\t" + list[0].Subject +
                                          "\tdelete");
}

TEST(PageViewer, DraggingFromALinkSelectsWithoutClicking) {
    TMailList list = Messages(3);
    Viewer viewer(700);
    viewer.Load(PageOf(list));
    const QRect link = viewer.Box("delete", 0);
    QTest::mousePress(viewer.Port(), Qt::LeftButton, {}, link.center());
    QTest::mouseMove(viewer.Port(), link.center() + QPoint(0, 40));
    QTest::mouseRelease(viewer.Port(), Qt::LeftButton, {}, link.center() + QPoint(0, 40));
    EXPECT_TRUE(viewer.clicks.empty());
    EXPECT_TRUE(viewer.view.HasSelection());
}

TEST(PageViewer, APageLoadedBetweenPressAndReleaseDropsTheClick) {
    TMailList list = Messages(3);
    Viewer viewer(700);
    const std::string page = PageOf(list);
    viewer.Load(page);
    const QPoint at = viewer.Box("delete", 0).center();
    QTest::mousePress(viewer.Port(), Qt::LeftButton, {}, at);
    list.erase(list.begin());
    viewer.Load(PageOf(list));  // a check ends meanwhile; its rows have moved
    QTest::mouseRelease(viewer.Port(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(viewer.clicks.empty());
    QTest::mouseClick(viewer.Port(), Qt::LeftButton, {}, at);
    EXPECT_EQ(viewer.clicks, std::vector<std::string>{"delete?1"});
}

// A check that found nothing new hands over the same page: the reader keeps the place, the
// selection and a click begun before it.
TEST(PageViewer, TheSamePageAgainIsKeptAsItIs) {
    TMailList list = Messages(100);
    Viewer viewer(480, 300);
    const std::string page = PageOf(list);
    viewer.Load(page);
    const QPoint at = viewer.Box("delete", 0).center();
    QTest::mousePress(viewer.Port(), Qt::LeftButton, {}, at);
    viewer.Load(page);
    QTest::mouseRelease(viewer.Port(), Qt::LeftButton, {}, at);
    EXPECT_EQ(viewer.clicks, std::vector<std::string>{"delete?1"});

    QScrollBar* bar = viewer.view.verticalScrollBar();
    QTest::keyClick(&viewer.view, Qt::Key_PageDown);
    const int place = bar->value();
    ASSERT_GT(place, 0);
    viewer.view.SelectAll();
    viewer.Load(page);
    EXPECT_EQ(bar->value(), place);
    EXPECT_TRUE(viewer.view.HasSelection());
    viewer.Load(page + " ");
    EXPECT_EQ(bar->value(), 0) << "another page starts from the top";
}

// A long page is laid out near the view only: at its far end links, the hand and a selection
// dragged across rows work as at its top.
TEST(PageViewer, TheFarEndOfALongPageActsAsItsTop) {
    TMailList list = Messages(3000);
    Viewer viewer(700, 400);
    viewer.Load(PageOf(list));
    QScrollBar* bar = viewer.view.verticalScrollBar();
    bar->setValue(bar->maximum());
    const QPoint offset(0, bar->value());
    const QPoint link = viewer.Box("delete", 2999).center() - offset;
    QTest::mouseMove(viewer.Port(), link);
    EXPECT_EQ(viewer.Port()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(viewer.Port(), Qt::LeftButton, {}, link);
    EXPECT_EQ(viewer.clicks, std::vector<std::string>{"delete?3000"});

    // From the first word of a subject three rows up to the end of the last row.
    const QRect from = viewer.BoxBeside("Subject", QString::fromStdString(list[2997].FromAddress))
                           .translated(-offset);
    const QPoint to = viewer.Box("delete", 2999).translated(-offset).bottomRight();
    QTest::mousePress(viewer.Port(), Qt::LeftButton, {}, from.topLeft() + QPoint(1, 1));
    QTest::mouseMove(viewer.Port(), to);
    QTest::mouseRelease(viewer.Port(), Qt::LeftButton, {}, to);
    const QStringList lines = viewer.view.SelectedText().split(u'\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].toStdString(), list[2997].Subject + "\tdelete");
    EXPECT_TRUE(lines[2].endsWith("\tdelete"));
}

TEST(PageViewer, ADoubleClickOnALinkIsOneClick) {
    TMailList list = Messages(3);
    Viewer viewer(700);
    viewer.Load(PageOf(list));
    // What a real double click delivers: a click, then a double-click press and its release.
    const QPoint at = viewer.Box("delete", 1).center();
    QTest::mouseClick(viewer.Port(), Qt::LeftButton, {}, at);
    QMouseEvent second(QEvent::MouseButtonDblClick, at, viewer.Port()->mapToGlobal(at),
                       Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(viewer.Port(), &second);
    QTest::mouseRelease(viewer.Port(), Qt::LeftButton, {}, at);
    EXPECT_EQ(viewer.clicks, std::vector<std::string>{"delete?2"});
}

TEST(PageViewer, TheClickHandlerMayReplaceThePage) {
    TMailList list = Messages(3);
    Viewer viewer(700);
    viewer.Load(PageOf(list));
    int loads = 0;
    viewer.view.OnHotSpotClick = [&](TPageViewer* sender, const std::string&, bool& handled) {
        list.erase(list.begin());
        sender->LoadFromString(PageOf(list));  // as a deletion does
        handled = true;
        ++loads;
    };
    QTest::mouseClick(viewer.Port(), Qt::LeftButton, {}, viewer.Box("delete", 0).center());
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(viewer.BoxBeside("delete", QString::fromStdString(list[0].FromAddress)),
              viewer.Box("delete", 0))
        << "the new page is shown";
    QTest::mouseMove(viewer.Port(), viewer.Box("delete", 0).center());
    QTest::mouseClick(viewer.Port(), Qt::LeftButton, {}, viewer.Box("delete", 0).center());
    EXPECT_EQ(loads, 2);
}

TEST(PageViewer, LoadingReplacesThePageAndShowsItFromTheTop) {
    TMailList list = Messages(100);
    Viewer viewer(480, 300);
    viewer.Load(PageOf(list));
    QScrollBar* bar = viewer.view.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    QTest::keyClick(&viewer.view, Qt::Key_PageDown);
    EXPECT_EQ(bar->value(), bar->pageStep());
    QTest::keyClick(&viewer.view, Qt::Key_End);
    EXPECT_EQ(bar->value(), bar->maximum());
    viewer.view.SelectAll();
    viewer.Load("<p>fresh</p>");
    EXPECT_EQ(bar->value(), 0);
    EXPECT_FALSE(viewer.view.HasSelection());
    ASSERT_EQ(viewer.view.TextBoxes().size(), 1u);
    EXPECT_EQ(viewer.view.TextBoxes()[0].text, "fresh");
    viewer.Load("");
    EXPECT_TRUE(viewer.view.TextBoxes().empty());
}

TEST(PageViewer, ResizingLaysThePageOutAgain) {
    TMailList list = Messages(5);
    Viewer viewer(700);
    viewer.Load(PageOf(list));
    const QRect wide = viewer.Box("delete");
    viewer.view.resize(480, 700);
    QCoreApplication::processEvents();
    const QRect narrow = viewer.Box("delete");
    EXPECT_LT(narrow.left(), wide.left() - 150);
    EXPECT_GT(narrow.right(), viewer.Port()->width() - 12);
    EXPECT_EQ(viewer.view.horizontalScrollBar()->maximum(), 0);
    // Narrower than the longest words the page can be: it scrolls sideways instead.
    viewer.view.resize(200, 700);
    QCoreApplication::processEvents();
    EXPECT_GT(viewer.view.horizontalScrollBar()->maximum(), 0);
}

TEST(PageViewer, TextArrivesAsUtf8OrWindows1252) {
    struct {
        const char* name;
        std::string page;
        QString shown;
    } const rows[] = {
        {"utf8", "<p>caf\xC3\xA9</p>", QStringLiteral(u"café")},
        {"1252", "<p>caf\xE9 \x80</p>", QStringLiteral(u"café €")},
        {"nul does not end the page", std::string("<p>a\0b</p><p>after</p>", 22),
         QStringLiteral(u"a\uFFFDb after")},
        {"entities", "<p>&lt;b&gt; &amp;amp;</p>", QStringLiteral(u"<b> &amp;")},
    };
    Viewer viewer(400);
    for (const auto& r : rows) {
        viewer.Load(r.page);
        viewer.view.SelectAll();
        EXPECT_EQ(viewer.view.SelectedText().simplified(), r.shown) << r.name;
    }
}

TEST(PageViewer, FontsAndCellPadding) {
    Viewer viewer(400);
    viewer.Load("<p>x</p><tt>y</tt>");
    ASSERT_EQ(viewer.view.TextBoxes().size(), 2u);
    // "Arial" 10 points and "Courier New", as fontconfig resolves them on this machine.
    const QFontInfo normal(viewer.view.FontOf(viewer.view.TextBoxes()[0]));
    const QFontInfo fixed(viewer.view.FontOf(viewer.view.TextBoxes()[1]));
    EXPECT_FALSE(normal.family().isEmpty());
    EXPECT_FALSE(normal.fixedPitch()) << normal.family().toStdString();
    EXPECT_EQ(normal.pixelSize(), 13) << "10 points at 96 dots per inch";
    EXPECT_TRUE(fixed.fixedPitch()) << fixed.family().toStdString();

    struct {
        const char* page;
        int left;
    } const rows[] = {
        {"<table cellspacing=0><tr><td>x</td></tr></table>", 4 + 1},
        {"<table cellspacing=0 cellpadding=9><tr><td>x</td></tr></table>", 4 + 9},
        {"<table cellspacing=0 cellpadding=0><tr><td>x</td></tr></table>", 4 + 0},
        {"<table cellspacing=0 cellpadding=9><tr><td style=\"padding:2px\">x</td></tr></table>",
         4 + 2},
        {"<table cellspacing=0 cellpadding=x><tr><td>x</td></tr></table>", 4 + 1},
        {"<table cellspacing=0 cellpadding=5><tr><th>x</th></tr></table>", 4 + 5},
    };
    for (const auto& r : rows) {
        viewer.Load(r.page);
        ASSERT_EQ(viewer.view.TextBoxes().size(), 1u) << r.page;
        EXPECT_EQ(viewer.view.TextBoxes()[0].rect.left(), r.left) << r.page;
    }
}

TEST(PaletteColors, MappedFromThePalette) {
    QPalette p;
    p.setColor(QPalette::Active, QPalette::Highlight, QColor(1, 2, 3));
    p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(4, 5, 6));
    p.setColor(QPalette::Active, QPalette::HighlightedText, QColor(7, 8, 9));
    p.setColor(QPalette::Active, QPalette::WindowText, QColor(10, 11, 12));
    p.setColor(QPalette::Active, QPalette::Light, QColor(13, 14, 15));
    p.setColor(QPalette::Active, QPalette::Mid, QColor(16, 17, 18));
    struct {
        TSysColor which;
        TColor expected;
    } const rows[] = {
        {TSysColor::ActiveCaption, RGB(1, 2, 3)},   {TSysColor::InactiveCaption, RGB(4, 5, 6)},
        {TSysColor::CaptionText, RGB(7, 8, 9)},     {TSysColor::WindowText, RGB(10, 11, 12)},
        {TSysColor::BtnHighlight, RGB(13, 14, 15)},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(TPaletteColors::FromPalette(p, r.which), r.expected) << int(r.which);
    }
    p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(1, 2, 3));
    EXPECT_EQ(TPaletteColors::FromPalette(p, TSysColor::InactiveCaption), RGB(16, 17, 18))
        << "one highlight for both groups: the group rows take Mid";
    EXPECT_EQ(ToColor(ToQColor(RGB(0x12, 0x34, 0x56))), RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(ToQColor(RGB(0x12, 0x34, 0x56)), QColor(0x12, 0x34, 0x56));
}

}  // namespace
}  // namespace kavrel
