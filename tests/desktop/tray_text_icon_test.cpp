#include "desktop/tray_text_icon.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QDir>

#include "tests/desktop/icon_test_util.h"

namespace kavrel {
namespace {

using test::ArtOf;
using test::ExpectedArt;
using test::TextBoxOf;

const QColor kHighlight(0x31, 0x6A, 0xC5);
const QColor kHighlightText(0xFF, 0xFF, 0xF0);

// Set KAVREL_ICON_DUMP to a folder to get every drawn icon there, eight times enlarged.
void Dump(const QImage& image, const QString& name) {
    const char* folder = ::getenv("KAVREL_ICON_DUMP");
    if (!folder) return;
    QString file = name;
    file.replace(u'/', u'_').replace(u'\r', u'_');
    image.scaled(128, 128).save(QDir(QString::fromUtf8(folder)).filePath(file + ".png"));
}

// The icon as the main window sets it up.
void AsInTheProgram(TTrayTextIcon& icon) {
    icon.SetColor(TColorRef::System(QPalette::Highlight));
    icon.SetFontColor(TColorRef::System(QPalette::HighlightedText));
}

TEST(TrayTextIcon, TextIsCentredByTheFormulaAndClipped) {
    test::TPaletteGuard colours(kHighlight, kHighlightText);
    enum class TFit { Whole, Clipped, Either };
    struct {
        const char* text;
        TFit fit;
    } const rows[] = {
        {"n/a", TFit::Either}, {"0", TFit::Whole},      {"7", TFit::Whole},
        {"42", TFit::Whole},   {"1234", TFit::Clipped},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        TTrayTextIcon icon(nullptr);
        AsInTheProgram(icon);
        icon.SetText(QString::fromLatin1(r.text));
        const QImage& image = icon.Bitmap();
        Dump(image, QString::fromLatin1(r.text));
        ASSERT_EQ(image.size(), QSize(16, 16));
        EXPECT_FALSE(image.hasAlphaChannel());

        const test::TTextBox box = TextBoxOf(QString::fromLatin1(r.text), icon.Font());
        ASSERT_FALSE(box.ink.empty());
        // Truncating division: a 28-pixel text starts at -6, not -7.
        const int x = (15 - box.width) / 2;
        const int y = (15 - box.height) / 2;
        EXPECT_EQ(ArtOf(image, kHighlightText.rgb(), kHighlight.rgb()),
                  ExpectedArt({{box.ink, {x, y}}}));

        // The bounding box of the text in the icon is the glyphs' box at (x, y), clipped.
        int left = 16, right = -1, top = 16, bottom = -1;
        bool cut = false;
        for (const auto& [px, py] : box.ink) {
            const int ix = px + x, iy = py + y;
            if (ix < 0 || ix > 15 || iy < 0 || iy > 15) {
                cut = true;
                continue;
            }
            left = std::min(left, ix), right = std::max(right, ix);
            top = std::min(top, iy), bottom = std::max(bottom, iy);
        }
        int seenLeft = 16, seenRight = -1, seenTop = 16, seenBottom = -1;
        for (int iy = 0; iy < 16; ++iy) {
            for (int ix = 0; ix < 16; ++ix) {
                if (image.pixel(ix, iy) != kHighlightText.rgb()) continue;
                seenLeft = std::min(seenLeft, ix), seenRight = std::max(seenRight, ix);
                seenTop = std::min(seenTop, iy), seenBottom = std::max(seenBottom, iy);
            }
        }
        EXPECT_EQ(QRect(QPoint(seenLeft, seenTop), QPoint(seenRight, seenBottom)),
                  QRect(QPoint(left, top), QPoint(right, bottom)));
        if (r.fit == TFit::Whole) {
            EXPECT_FALSE(cut);
            EXPECT_LE(box.width, 16);
        }
        if (r.fit == TFit::Clipped) {
            EXPECT_TRUE(cut);
            EXPECT_LT(x, 0);
        }
    }
}

TEST(TrayTextIcon, Background) {
    const QColor ink(0x12, 0x34, 0x56);
    const QColor inverted(0xED, 0xCB, 0xA9);
    struct {
        const char* name;
        TColorRef color;
        QColor background;
        bool transparent;
    } const rows[] = {
        {"its own colour", TColorRef::Fixed(QColor(0x80, 0x00, 0x00)), QColor(0x80, 0x00, 0x00),
         false},
        {"the text's colour: inverted", TColorRef::Fixed(ink), inverted, false},
        {"no colour: inverted and see-through", TColorRef::None(), inverted, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TTrayTextIcon icon(nullptr);
        icon.SetFontColor(TColorRef::Fixed(ink));
        icon.SetColor(r.color);
        icon.SetText(QStringLiteral("7"));
        const std::string art = ArtOf(icon.Bitmap(), ink.rgb(), r.background.rgb());
        EXPECT_EQ(art.find('?'), std::string::npos) << art;
        EXPECT_EQ(art.substr(0, 17), "................\n");
        EXPECT_NE(art.find('#'), std::string::npos);

        const QImage& shown = icon.IconImage();
        EXPECT_EQ(qAlpha(shown.pixel(0, 0)), r.transparent ? 0 : 255);
        EXPECT_EQ(icon.BackgroundColor().isValid(), r.transparent);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                if ((icon.Bitmap().pixel(x, y) | 0xFF000000u) == ink.rgb()) {
                    EXPECT_EQ(qAlpha(shown.pixel(x, y)), 255);
                }
            }
        }
    }
}

TEST(TrayTextIcon, NewHighlightColoursShowAtTheNextRedraw) {
    test::TPaletteGuard colours(kHighlight, kHighlightText);
    TTrayTextIcon icon(nullptr);
    AsInTheProgram(icon);
    icon.SetText(QStringLiteral("n/a"));
    const QColor green(0x00, 0x80, 0x00), black(0, 0, 0);
    test::TPaletteGuard::Set(green, black);
    EXPECT_EQ(icon.Bitmap().pixel(0, 0), kHighlight.rgb());
    icon.SetText(QStringLiteral("3"));
    EXPECT_EQ(icon.Bitmap().pixel(0, 0), green.rgb());
    EXPECT_NE(ArtOf(icon.Bitmap(), black.rgb(), green.rgb()).find('#'), std::string::npos);
}

TEST(TrayTextIcon, BorderFramesTheOutermostPixels) {
    test::TPaletteGuard colours(kHighlight, kHighlightText);
    TTrayTextIcon icon(nullptr);
    AsInTheProgram(icon);
    icon.SetBorderColor(TColorRef::Fixed(QColor(0xFF, 0x00, 0x00)));
    icon.SetBorder(true);
    const std::string inner = "B..............B\n";
    std::string expected = std::string(16, 'B') + "\n";
    for (int i = 0; i < 14; ++i) expected += inner;
    expected += std::string(16, 'B') + "\n";
    EXPECT_EQ(ArtOf(icon.Bitmap(), kHighlightText.rgb(), kHighlight.rgb(), qRgb(0xFF, 0, 0)),
              expected);
}

TEST(TrayTextIcon, OffsetsShiftTheText) {
    test::TPaletteGuard colours(kHighlight, kHighlightText);
    TTrayTextIcon icon(nullptr);
    AsInTheProgram(icon);
    icon.SetOptions({.OffsetX = 3, .OffsetY = -2, .LineDistance = 0});
    icon.SetText(QStringLiteral("7"));
    const test::TTextBox box = TextBoxOf(QStringLiteral("7"), icon.Font());
    EXPECT_EQ(ArtOf(icon.Bitmap(), kHighlightText.rgb(), kHighlight.rgb()),
              ExpectedArt({{box.ink, {(15 - box.width) / 2 + 3, (15 - box.height) / 2 - 2}}}));
}

TEST(TrayTextIcon, LinesAtEachCarriageReturn) {
    test::TPaletteGuard colours(kHighlight, kHighlightText);
    struct {
        const char* text;
        int lineDistance;
        std::vector<const char*> lines;
    } const rows[] = {
        {"1\r2", 0, {"1", "2"}},
        {"1\r22", 2, {"1", "22"}},
        {"4\r\r5", 0, {"4", "", "5"}},
        // The line feed of a CR LF stays with the next line, where it takes no room.
        {"1\r\n2", 0, {"1", "\n2"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        TTrayTextIcon icon(nullptr);
        AsInTheProgram(icon);
        icon.SetOptions({.OffsetX = 0, .OffsetY = 0, .LineDistance = r.lineDistance});
        icon.SetText(QString::fromLatin1(r.text));
        Dump(icon.Bitmap(), QStringLiteral("lines ") + QString::fromLatin1(r.text));
        const int h = TextBoxOf(QStringLiteral("1"), icon.Font()).height + r.lineDistance;
        const int n = static_cast<int>(r.lines.size());
        const int top = (15 - n * h) / 2;
        std::vector<std::pair<test::TInk, std::pair<int, int>>> placed;
        for (int i = 0; i < n; ++i) {
            const test::TTextBox box = TextBoxOf(QString::fromLatin1(r.lines[i]), icon.Font());
            placed.push_back({box.ink, {(15 - box.width) / 2, top + i * h}});
        }
        EXPECT_EQ(ArtOf(icon.Bitmap(), kHighlightText.rgb(), kHighlight.rgb()),
                  ExpectedArt(placed));
    }
}

TEST(TrayTextIcon, EveryRedrawReachesTheTray) {
    TTrayTextIcon icon(nullptr);
    const qint64 before = icon.Icon().cacheKey();
    icon.SetText(QStringLiteral("5"));
    EXPECT_NE(icon.Icon().cacheKey(), before);
    EXPECT_EQ(icon.Icon().pixmap(16, 16).toImage().pixel(8, 8), icon.IconImage().pixel(8, 8));
}

TEST(TrayTextIcon, FontIsThePlainDesktopFontAtElevenPixels) {
    const QFont font = TTrayTextIcon::DefaultFont();
    EXPECT_EQ(font.pixelSize(), 11);
    EXPECT_EQ(font.family(), QGuiApplication::font().family());
    EXPECT_FALSE(font.bold() || font.italic() || font.underline() || font.strikeOut());
}

}  // namespace
}  // namespace kavrel
