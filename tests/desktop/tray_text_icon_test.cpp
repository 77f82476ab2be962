#include "desktop/tray_text_icon.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <map>
#include <set>
#include <vector>

namespace kavrel {
namespace {

const QColor kHighlight(0x31, 0x6A, 0xC5);
const QColor kHighlightText(0xFF, 0xFF, 0xF0);

struct TGlyphs {
    int width = 0, height = 0;
    std::set<std::pair<int, int>> ink;  // relative to the top left of the text's box
};

// The text drawn far from any edge: what its glyphs look like in this font.
TGlyphs GlyphsOf(const QString& text, const QFont& font) {
    QImage scratch(240, 90, QImage::Format_RGB32);
    scratch.fill(Qt::black);
    QPainter painter(&scratch);
    painter.setFont(font);
    painter.setPen(Qt::white);
    TGlyphs g{painter.fontMetrics().horizontalAdvance(text), painter.fontMetrics().height(), {}};
    painter.drawText(60, 30 + painter.fontMetrics().ascent(), text);
    painter.end();
    for (int y = 0; y < scratch.height(); ++y)
        for (int x = 0; x < scratch.width(); ++x)
            if (scratch.pixel(x, y) != qRgb(0, 0, 0)) g.ink.insert({x - 60, y - 30});
    return g;
}

// '#' text colour, '.' background, 'B' border, '?' anything else (a smoothed edge, a wrong
// colour).
std::string ArtOf(const QImage& image, QRgb border = 0) {
    std::string art;
    for (int y = 0; y < 16; ++y, art += '\n') {
        for (int x = 0; x < 16; ++x) {
            const QRgb p = image.pixel(x, y);
            art += p == kHighlightText.rgb()     ? '#'
                   : p == kHighlight.rgb()       ? '.'
                   : p == (border | 0xFF000000u) ? 'B'
                                                 : '?';
        }
    }
    return art;
}

// The square with each text's glyphs at the place given, clipped at the edges.
std::string ExpectedArt(const std::vector<std::pair<TGlyphs, QPoint>>& placed) {
    std::string art;
    for (int y = 0; y < 16; ++y, art += '\n') {
        for (int x = 0; x < 16; ++x) {
            bool ink = false;
            for (const auto& [g, at] : placed) ink = ink || g.ink.count({x - at.x(), y - at.y()});
            art += ink ? '#' : '.';
        }
    }
    return art;
}

QRect BoxOf(const std::string& art) {
    QRect box;
    for (std::size_t i = 0; i < art.size(); ++i)
        if (art[i] == '#') box |= QRect(int(i % 17), int(i / 17), 1, 1);
    return box;
}

class TrayTextIcon : public testing::Test {
  protected:
    void SetUp() override { SetHighlight(kHighlight, kHighlightText); }
    void TearDown() override { QGuiApplication::setPalette(old_); }
    static void SetHighlight(const QColor& highlight, const QColor& text) {
        QPalette palette = QGuiApplication::palette();
        palette.setColor(QPalette::Highlight, highlight);
        palette.setColor(QPalette::HighlightedText, text);
        QGuiApplication::setPalette(palette);
    }
    // As the main window sets it up.
    void Draw(const QString& text, const TOffsetOptions& options = {}) {
        icon.SetColor(TColorRef::System(QPalette::Highlight));
        icon.SetFontColor(TColorRef::System(QPalette::HighlightedText));
        icon.SetOptions(options);
        icon.SetText(text);
        // KAVREL_ICON_DUMP names a folder for every drawn icon, eight times enlarged.
        if (const char* folder = ::getenv("KAVREL_ICON_DUMP")) {
            QString name = text;
            name.replace(u'/', u'_').replace(u'\r', u'_').replace(u'\n', u'_');
            icon.Bitmap().scaled(128, 128).save(QDir(folder).filePath(name + ".png"));
        }
    }
    QPalette old_ = QGuiApplication::palette();
    TTrayTextIcon icon{nullptr};
};

// A text too wide for the square is drawn smaller, down to a size that still reads; only
// beyond that is it clipped.
TEST_F(TrayTextIcon, TextIsCentredByTheFormulaAndFitted) {
    enum TFit { kWhole, kSmaller, kClipped };
    const std::pair<const char*, TFit> rows[] = {{"0", kWhole},     {"7", kWhole},
                                                 {"42", kWhole},    {"133", kSmaller},
                                                 {"1k+", kSmaller}, {"12345678", kClipped}};
    for (const auto& [text, fit] : rows) {
        SCOPED_TRACE(text);
        Draw(QString::fromLatin1(text));
        ASSERT_EQ(icon.Bitmap().size(), QSize(16, 16));
        EXPECT_FALSE(icon.Bitmap().hasAlphaChannel());
        const QFont font = TTrayTextIcon::FittedFont(icon.Font(), QString::fromLatin1(text));
        EXPECT_EQ(font.pixelSize() < icon.Font().pixelSize(), fit != kWhole);
        const TGlyphs g = GlyphsOf(QString::fromLatin1(text), font);
        ASSERT_FALSE(g.ink.empty());
        // Truncating division: a text 28 pixels wide starts at -6, not -7.
        const QPoint at((15 - g.width) / 2, (15 - g.height) / 2);
        const std::string expected = ExpectedArt({{g, at}});
        const std::string art = ArtOf(icon.Bitmap());
        EXPECT_EQ(art, expected);
        EXPECT_EQ(BoxOf(art), BoxOf(expected));
        const bool whole = std::ranges::count(expected, '#') == std::ssize(g.ink);
        EXPECT_EQ(whole, fit != kClipped);
    }
}

TEST_F(TrayTextIcon, OffsetsAndLines) {
    struct {
        const char* text;
        TOffsetOptions options;
        std::vector<const char*> lines;
    } const rows[] = {
        {"7", {.OffsetX = 3, .OffsetY = -2}, {"7"}},
        // Two 13-pixel lines start at (15 - 26) div 2 = -5.
        {"1\r2", {}, {"1", "2"}},
        {"1\r22", {.OffsetX = -1, .LineDistance = 2}, {"1", "22"}},
        {"4\r\r5", {}, {"4", "", "5"}},
        // The line feed of a CR LF stays with the next line, where it takes no room.
        {"1\r\n2", {}, {"1", "\n2"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        Draw(QString::fromLatin1(r.text), r.options);
        const int n = static_cast<int>(r.lines.size());
        const int fontHeight = GlyphsOf(QStringLiteral("1"), icon.Font()).height;
        const int h = fontHeight + r.options.LineDistance;
        const int top = n == 1 ? (15 - fontHeight) / 2 : (15 - n * h) / 2;
        std::vector<std::pair<TGlyphs, QPoint>> placed;
        for (int i = 0; i < n; ++i) {
            const TGlyphs g = GlyphsOf(QString::fromLatin1(r.lines[i]), icon.Font());
            placed.push_back({g, QPoint((15 - g.width) / 2 + r.options.OffsetX,
                                        top + i * h + r.options.OffsetY)});
        }
        EXPECT_EQ(ArtOf(icon.Bitmap()), ExpectedArt(placed));
    }
}

TEST_F(TrayTextIcon, Background) {
    const QColor ink(0x12, 0x34, 0x56), inverted(0xED, 0xCB, 0xA9), red(0x80, 0, 0);
    struct {
        const char* name;
        TColorRef color;
        QColor background;
        bool transparent;
    } const rows[] = {
        {"its own colour", TColorRef::Fixed(red), red, false},
        {"the text's colour: inverted", TColorRef::Fixed(ink), inverted, false},
        {"no colour: inverted and see-through", TColorRef::None(), inverted, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        icon.SetFontColor(TColorRef::Fixed(ink));
        icon.SetColor(r.color);
        icon.SetText(QStringLiteral("7"));
        int text = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QRgb p = icon.Bitmap().pixel(x, y);
                ASSERT_TRUE(p == ink.rgb() || p == r.background.rgb()) << x << "," << y;
                text += p == ink.rgb();
                const bool clear = r.transparent && p != ink.rgb();
                EXPECT_EQ(qAlpha(icon.IconImage().pixel(x, y)), clear ? 0 : 255);
            }
        }
        EXPECT_GT(text, 0);
        EXPECT_EQ(icon.BackgroundColor().isValid(), r.transparent);
    }
}

TEST_F(TrayTextIcon, NewHighlightColoursShowAtTheNextRedraw) {
    Draw(QStringLiteral("n/a"));
    SetHighlight(QColor(0, 0x80, 0), Qt::black);
    EXPECT_EQ(icon.Bitmap().pixel(0, 0), kHighlight.rgb());
    icon.SetText(QStringLiteral("3"));
    EXPECT_EQ(icon.Bitmap().pixel(0, 0), qRgb(0, 0x80, 0));
    EXPECT_EQ(icon.Icon().pixmap(16, 16).toImage().pixel(0, 0), qRgb(0, 0x80, 0));
}

// Trays of 22 or 24 pixels and screens at scale factor 2 get a picture drawn at their own size:
// two colours only (nothing scaled and smoothed), the text larger with every size.
TEST_F(TrayTextIcon, EachSizeIsDrawnAtItsOwnSize) {
    struct {
        int logical;
        qreal ratio;
        int device;
    } const sizes[] = {{16, 1, 16}, {22, 1, 22}, {24, 1, 24}, {32, 1, 32}, {48, 1, 48},
                       {64, 1, 64}, {16, 2, 32}, {22, 2, 44}, {24, 2, 48}, {32, 2, 64}};
    for (const char* text : {"7", "n/a", "9k+"}) {
        Draw(QString::fromLatin1(text));
        std::map<int, QRect> boxes;
        for (const auto& s : sizes) {
            SCOPED_TRACE(testing::Message() << text << " at " << s.logical << "x" << s.ratio);
            const QPixmap pixmap = icon.Icon().pixmap(QSize(s.logical, s.logical), s.ratio);
            ASSERT_EQ(pixmap.size(), QSize(s.device, s.device));
            EXPECT_EQ(pixmap.devicePixelRatio(), s.ratio);
            const QImage image = pixmap.toImage();
            QRect box;
            for (int y = 0; y < s.device; ++y) {
                for (int x = 0; x < s.device; ++x) {
                    const QRgb p = image.pixel(x, y);
                    ASSERT_TRUE(p == kHighlightText.rgb() || p == kHighlight.rgb())
                        << x << "," << y;
                    if (p == kHighlightText.rgb()) box |= QRect(x, y, 1, 1);
                }
            }
            EXPECT_EQ(image.pixel(0, 0), kHighlight.rgb());
            EXPECT_EQ(image.pixel(s.device - 1, s.device - 1), kHighlight.rgb());
            // Whole: it fits, not clipped at the edges.
            EXPECT_GT(box.left(), 0);
            EXPECT_LT(box.right(), s.device - 1);
            boxes[s.device] = box;
        }
        // A wide text fitted to its width may keep the height of the next smaller size.
        int height = 0;
        for (const auto& [device, box] : boxes) {
            EXPECT_GE(box.height(), height) << text << " at " << device;
            height = box.height();
        }
        EXPECT_GT(boxes[22].height(), boxes[16].height()) << text;
        EXPECT_GE(boxes[64].height(), 3 * boxes[16].height()) << text;
        const QImage big = icon.Icon().pixmap(32, 32).toImage();
        EXPECT_NE(big, icon.Bitmap().scaled(32, 32).convertToFormat(big.format())) << text;
    }
    // Without a colour, every size lets the tray show through.
    icon.SetColor(TColorRef::None());
    const QImage clear = icon.Icon().pixmap(64, 64).toImage();
    EXPECT_EQ(qAlpha(clear.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(clear.pixel(63, 63)), 0);
}

TEST_F(TrayTextIcon, BorderFramesTheOutermostPixels) {
    icon.SetBorderColor(TColorRef::Fixed(Qt::red));
    icon.SetBorder(true);
    Draw(QString());
    std::string expected = std::string(16, 'B') + "\n";
    for (int i = 0; i < 14; ++i) expected += "B..............B\n";
    expected += std::string(16, 'B') + "\n";
    EXPECT_EQ(ArtOf(icon.Bitmap(), qRgb(0xFF, 0, 0)), expected);
}

}  // namespace
}  // namespace kavrel
