#pragma once

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QString>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kavrel::test {

using TInk = std::set<std::pair<int, int>>;

struct TTextBox {
    int width = 0;
    int height = 0;
    TInk ink;  // pixels relative to the top left of the text's box
};

// The text drawn far from any edge, as the source of what its glyphs look like in this font.
inline TTextBox TextBoxOf(const QString& text, const QFont& font) {
    constexpr int kLeft = 60, kTop = 30;
    QImage scratch(240, 90, QImage::Format_RGB32);
    scratch.fill(Qt::black);
    QPainter painter(&scratch);
    painter.setFont(font);
    painter.setPen(Qt::white);
    TTextBox box;
    box.width = painter.fontMetrics().horizontalAdvance(text);
    box.height = painter.fontMetrics().height();
    painter.drawText(kLeft, kTop + painter.fontMetrics().ascent(), text);
    painter.end();
    for (int y = 0; y < scratch.height(); ++y) {
        for (int x = 0; x < scratch.width(); ++x) {
            if (scratch.pixel(x, y) != QColor(Qt::black).rgb())
                box.ink.insert({x - kLeft, y - kTop});
        }
    }
    return box;
}

// A 16 x 16 picture as text: '#' the text colour, '.' the background, 'B' the border colour,
// '?' anything else (a smoothed edge, a wrong colour).
inline std::string ArtOf(const QImage& image, QRgb text, QRgb background, QRgb border = 0) {
    std::string art;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y) | 0xFF000000u;
            art += p == (text | 0xFF000000u)         ? '#'
                   : p == (background | 0xFF000000u) ? '.'
                   : p == (border | 0xFF000000u)     ? 'B'
                                                     : '?';
        }
        art += '\n';
    }
    return art;
}

// What a 16 x 16 square must show with each ink set placed at its offset, clipped at the edges.
inline std::string ExpectedArt(const std::vector<std::pair<TInk, std::pair<int, int>>>& placed) {
    std::string art;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            bool ink = false;
            for (const auto& [set, at] : placed)
                ink = ink || set.count({x - at.first, y - at.second});
            art += ink ? '#' : '.';
        }
        art += '\n';
    }
    return art;
}

// Sets the application's highlight colours for the life of the guard.
class TPaletteGuard {
  public:
    TPaletteGuard(const QColor& highlight, const QColor& highlightedText)
        : old_(QGuiApplication::palette()) {
        Set(highlight, highlightedText);
    }
    ~TPaletteGuard() { QGuiApplication::setPalette(old_); }
    TPaletteGuard(const TPaletteGuard&) = delete;
    TPaletteGuard& operator=(const TPaletteGuard&) = delete;

    static void Set(const QColor& highlight, const QColor& highlightedText) {
        QPalette palette = QGuiApplication::palette();
        palette.setColor(QPalette::Highlight, highlight);
        palette.setColor(QPalette::HighlightedText, highlightedText);
        QGuiApplication::setPalette(palette);
    }

  private:
    QPalette old_;
};

}  // namespace kavrel::test
