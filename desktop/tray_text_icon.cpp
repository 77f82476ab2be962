#include "desktop/tray_text_icon.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QStringList>
#include <algorithm>

namespace kavrel {

QColor TColorRef::Resolve(const QPalette& palette) const {
    if (role_ != QPalette::NoRole) return palette.color(QPalette::Active, role_);
    return fixed_;
}

TTrayTextIcon::TTrayTextIcon(QWidget* owner, QObject* parent)
    : TTrayIcon(owner, parent), font_(DefaultFont()) {
    RefreshTextIcon();
}

QFont TTrayTextIcon::DefaultFont() {
    QFont font = QGuiApplication::font();
    font.setPixelSize(11);
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

QFont TTrayTextIcon::FittedFont(const QFont& font, const QString& text, int size) {
    const int smallest = 7 * size / kSize;
    QFont fitted = font;
    if (text.contains(u'\r') || fitted.pixelSize() <= 0) return fitted;
    while (fitted.pixelSize() > smallest && QFontMetrics(fitted).horizontalAdvance(text) > size) {
        fitted.setPixelSize(fitted.pixelSize() - 1);
    }
    return fitted;
}

void TTrayTextIcon::SetText(const QString& text) {
    text_ = text;
    RefreshTextIcon();
}

void TTrayTextIcon::SetFont(const QFont& font) {
    font_ = font;
    RefreshTextIcon();
}

void TTrayTextIcon::SetFontColor(const TColorRef& color) {
    fontColor_ = color;
    RefreshTextIcon();
}

void TTrayTextIcon::SetColor(const TColorRef& color) {
    color_ = color;
    RefreshTextIcon();
}

void TTrayTextIcon::SetBorder(bool border) {
    border_ = border;
    RefreshTextIcon();
}

void TTrayTextIcon::SetBorderColor(const TColorRef& color) {
    borderColor_ = color;
    RefreshTextIcon();
}

void TTrayTextIcon::SetOptions(const TOffsetOptions& options) {
    options_ = options;
    RefreshTextIcon();
}

namespace {

// Without a colour of its own the background shows the tray through it.
QImage SeeThrough(const QImage& image, const QColor& background) {
    if (!background.isValid()) return image;
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb transparent = background.rgb();
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            if (out.pixel(x, y) == transparent) out.setPixel(x, y, 0);
        }
    }
    return out;
}

// A length drawn at 16 pixels, at a square of size.
int Grown(int length, int size) { return length * size / TTrayTextIcon::kSize; }

}  // namespace

void TTrayTextIcon::RefreshTextIcon() {
    QIcon icon;
    for (const int size : kSizes) {
        const QImage drawn = DrawTextBitmap(size);
        if (!color_.IsNone()) background_ = QColor();
        const QImage image = SeeThrough(drawn, background_);
        if (size == kSize) {
            bitmap_ = drawn;
            iconImage_ = image;
        }
        icon.addPixmap(QPixmap::fromImage(image));
    }
    SetIcon(icon);
}

QImage TTrayTextIcon::DrawTextBitmap(int size) {
    const QPalette palette = QGuiApplication::palette();
    QColor fontColor = fontColor_.Resolve(palette);
    if (!fontColor.isValid()) fontColor = palette.color(QPalette::Active, QPalette::WindowText);
    const QColor color = color_.Resolve(palette);
    // Text in the background's own colour would vanish: take the opposite of the text's.
    background_ = (color_.IsNone() || color.rgb() == fontColor.rgb())
                      ? QColor::fromRgb(~fontColor.rgb() & 0xFFFFFFu)
                      : color;

    QFont font = font_;
    if (font.pixelSize() > 0) {
        font.setPixelSize(Grown(font.pixelSize(), size));
    } else {
        font.setPointSizeF(font.pointSizeF() * size / kSize);
    }
    const int offsetX = Grown(options_.OffsetX, size), offsetY = Grown(options_.OffsetY, size);
    const int edge = size - 1;

    QImage image(size, size, QImage::Format_RGB32);
    image.fill(background_);
    QPainter painter(&image);
    painter.setFont(FittedFont(font, text_, size));
    painter.setPen(fontColor);
    const QFontMetrics metrics = painter.fontMetrics();
    // Integer division truncates toward zero: a text wider than the square starts left of it
    // and loses columns at both edges.
    const auto draw = [&](const QString& line, int y) {
        const int x = (edge - metrics.horizontalAdvance(line)) / 2 + offsetX;
        painter.drawText(x, y + metrics.ascent(), line);
    };
    if (!text_.contains(u'\r')) {
        draw(text_, (edge - metrics.height()) / 2 + offsetY);
    } else {
        const QStringList lines = text_.split(u'\r');
        const int h = metrics.height() + Grown(options_.LineDistance, size);
        const int top = (edge - static_cast<int>(lines.size()) * h) / 2 + offsetY;
        for (qsizetype i = 0; i < lines.size(); ++i) draw(lines[i], top + static_cast<int>(i) * h);
    }
    if (border_) {
        const QColor frame = borderColor_.Resolve(palette);
        const int w = std::max(1, Grown(1, size));
        painter.fillRect(0, 0, size, w, frame);
        painter.fillRect(0, size - w, size, w, frame);
        painter.fillRect(0, 0, w, size, frame);
        painter.fillRect(size - w, 0, w, size, frame);
    }
    return image;
}

}  // namespace kavrel
