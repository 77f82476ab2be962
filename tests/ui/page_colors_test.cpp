#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "core/contrast.h"
#include "core/message_page.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/page_viewer.h"
#include "ui/palette_colors.h"

namespace kavrel {
namespace {

struct TGivenPalette : TSystemColors {
    explicit TGivenPalette(const QPalette& given) : palette(given) {}
    TColor GetSysColor(TSysColor which) const override {
        return TPaletteColors::FromPalette(palette, which);
    }
    QPalette palette;
};

TColor Parse(const std::string& hex) {
    const unsigned long v = std::stoul(hex.substr(1), nullptr, 16);
    return RGB(std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v));
}

struct TPair {
    std::string where;
    TColor text, back;
    double minimum;
};

// Every font colour that holds text, against the background of its row, and the link colour
// against every message row. A font closed at once by its cell holds nothing to read.
std::vector<TPair> PairsOf(const std::string& page, TColor link) {
    static const std::regex kRow(
        "<tr bgcolor=\"(#[0-9A-F]{6})\" valign=\"(\\w+)\">([\\s\\S]*?)(?=<tr|$)");
    static const std::regex kFont("<font color=\"(#[0-9A-F]{6})\">(?!</td>)");
    std::vector<TPair> pairs;
    for (std::sregex_iterator r(page.begin(), page.end(), kRow), end; r != end; ++r) {
        const std::string cells = (*r)[3];
        const TColor back = Parse((*r)[1]);
        const bool heading = (*r)[2] == "bottom";
        const bool group = cells.find("colspan") != std::string::npos;
        const std::string where = heading ? "heading" : group ? "group" : "row " + (*r)[1].str();
        const double minimum = group ? 3.0 : 4.5;
        for (std::sregex_iterator f(cells.begin(), cells.end(), kFont); f != end; ++f) {
            pairs.push_back({where, Parse((*f)[1]), back, minimum});
        }
        if (!heading && !group) pairs.push_back({where + " link", link, back, 4.5});
    }
    return pairs;
}

// A dark palette as applications commonly set one, role by role: the roles it leaves out
// (Light, Mid) keep their light-theme values.
QPalette SetDark(QPalette p, const QColor& toolTipText) {
    p.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Base, QColor(0x2A, 0x2A, 0x2A));
    p.setColor(QPalette::AlternateBase, QColor(0x42, 0x42, 0x42));
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::ButtonText, Qt::white);
    p.setColor(QPalette::Highlight, QColor(0x2A, 0x82, 0xDA));
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::ToolTipText, toolTipText);
    return p;
}

TEST(PageColors, ReadableInLightAndDarkThemes) {
    const QPalette fusion =
        std::unique_ptr<QStyle>(QStyleFactory::create("Fusion"))->standardPalette();
    struct {
        const char* name;
        QPalette palette;
    } const rows[] = {
        {"fusion light", fusion},
        {"dark, set role by role", SetDark(fusion, Qt::white)},
        {"dark, tool-tip text left dark", SetDark(fusion, Qt::black)},
        {"derived from one dark colour", QPalette(QColor(0x35, 0x35, 0x35))},
        {"white caption text on a pale highlight",
         [] {
             QPalette p;
             p.setColor(QPalette::Highlight, QColor(0x99, 0xC9, 0xEF));
             p.setColor(QPalette::HighlightedText, Qt::white);
             return p;
         }()},
    };
    TMailList list;
    for (int i = 0; i < 3; ++i) {
        PW_MAIL& m = AppendMail(list);
        m.AccountIndex = i < 2 ? 1 : 2;
        m.MailBox = i < 2 ? "pop.example.org->ann" : "mail.example.net->bob";
        m.Subject = "s";
    }
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const TGivenPalette colors(r.palette);
        const std::string page = MessagePageText(list, colors, *TryEncodeDate(2026, 12, 9));
        const std::vector<TPair> pairs = PairsOf(page, MessagePageColors(colors).Link);
        // Five heading cells, two groups, three rows of six fonts and a link.
        ASSERT_EQ(pairs.size(), 5u + 2 + 3 * 7) << page;
        for (const TPair& p : pairs) {
            EXPECT_GE(ContrastRatio(p.text, p.back), p.minimum)
                << p.where << ": #" << ColorToHex(p.text) << " on #" << ColorToHex(p.back);
        }
    }
    // A light theme whose colours already read well shows them as they are.
    const std::string light =
        MessagePageText(list, TGivenPalette(fusion), *TryEncodeDate(2026, 12, 9));
    EXPECT_NE(light.find("<tr bgcolor=\"#FFFFFF\""), std::string::npos);
    EXPECT_NE(light.find("<font color=\"#000000\">"), std::string::npos);
}

// The window as a dark theme shows it, kept as a picture beside the tests' other screenshots.
// A row drawn in the light theme's white would be a scanline mostly white: text never is.
class DarkWindowTest : public test::MainWindowTest {};

TEST_F(DarkWindowTest, MessagesPageHasNoLightRows) {
    const QPalette before = QApplication::palette();
    QApplication::setPalette(SetDark(
        std::unique_ptr<QStyle>(QStyleFactory::create("Fusion"))->standardPalette(), Qt::white));
    auto window = Open("");
    for (int i = 0; i < 6; ++i) {
        PW_MAIL& m = AppendMail(MailList);
        m.AccountIndex = i < 4 ? 1 : 2;
        m.MailBox = i < 4 ? "pop.example.org->ann" : "mail.example.net->bob";
        m.FromAddress = "sender" + std::to_string(i) + "@example.org";
        m.Subject = "Subject " + std::to_string(i);
    }
    window->BuildMessagePage();
    window->tabMain->setCurrentWidget(window->tabMessages);
    window->show();
    const QImage shot = window->grab().toImage();
    const QImage page = window->html1->grab().toImage();
    QApplication::setPalette(before);
    if (const QString folder = qEnvironmentVariable("KAVREL_ARTIFACTS"); !folder.isEmpty()) {
        QDir().mkpath(folder);
        EXPECT_TRUE(shot.save(folder + "/main-window-dark.png"));
    }
    for (int y = 0; y < page.height(); ++y) {
        int light = 0;
        for (int x = 0; x < page.width(); ++x) light += qGray(page.pixel(x, y)) > 200;
        ASSERT_LT(light, page.width() / 2) << "scanline " << y;
    }
    MailList.clear();
}

TEST(PageColors, ContrastRatioAtItsEnds) {
    EXPECT_DOUBLE_EQ(ContrastRatio(RGB(0, 0, 0), RGB(255, 255, 255)), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(RGB(0x77, 0x77, 0x77), RGB(0x77, 0x77, 0x77)), 1.0);
    // The grey that the guidelines name as just short of 4.5:1 on white.
    EXPECT_NEAR(ContrastRatio(RGB(0x77, 0x77, 0x77), RGB(255, 255, 255)), 4.48, 0.01);
    const TColor pale = RGB(0xA0, 0xA0, 0xA0);
    EXPECT_EQ(WithContrast(RGB(0x20, 0x20, 0x20), RGB(255, 255, 255), 4.5), RGB(0x20, 0x20, 0x20));
    const TColor darker = WithContrast(pale, RGB(255, 255, 255), 3.0);
    EXPECT_GE(ContrastRatio(darker, RGB(255, 255, 255)), 3.0);
    EXPECT_LT(ContrastRatio(WithContrast(pale, RGB(255, 255, 255), 2.9), RGB(255, 255, 255)), 3.2)
        << "moved no further than needed";
}

}  // namespace
}  // namespace kavrel
