#include "desktop/tray_text_icon.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QStringList>

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

QFont TTrayTextIcon::FittedFont(const QFont& font, const QString& text) {
    constexpr int kSmallest = 7;
    QFont fitted = font;
    if (text.contains(u'\r') || fitted.pixelSize() <= 0) return fitted;
    while (fitted.pixelSize() > kSmallest && QFontMetrics(fitted).horizontalAdvance(text) > kSize) {
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

void TTrayTextIcon::RefreshTextIcon() {
    bitmap_ = DrawTextBitmap();
    if (!color_.IsNone()) background_ = QColor();
    iconImage_ = bitmap_;
    if (background_.isValid()) {
        // Without a colour of its own the background shows the tray through it.
        iconImage_ = bitmap_.convertToFormat(QImage::Format_ARGB32);
        const QRgb transparent = background_.rgb();
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                if (iconImage_.pixel(x, y) == transparent) iconImage_.setPixel(x, y, 0);
            }
        }
    }
    SetIcon(QIcon(QPixmap::fromImage(iconImage_)));
}

QImage TTrayTextIcon::DrawTextBitmap() {
    const QPalette palette = QGuiApplication::palette();
    QColor fontColor = fontColor_.Resolve(palette);
    if (!fontColor.isValid()) fontColor = palette.color(QPalette::Active, QPalette::WindowText);
    const QColor color = color_.Resolve(palette);
    // Text in the background's own colour would vanish: take the opposite of the text's.
    background_ = (color_.IsNone() || color.rgb() == fontColor.rgb())
                      ? QColor::fromRgb(~fontColor.rgb() & 0xFFFFFFu)
                      : color;

    QImage image(kSize, kSize, QImage::Format_RGB32);
    image.fill(background_);
    QPainter painter(&image);
    painter.setFont(FittedFont(font_, text_));
    painter.setPen(fontColor);
    const QFontMetrics metrics = painter.fontMetrics();
    // Integer division truncates toward zero: a text wider than the square starts left of it
    // and loses columns at both edges.
    const auto draw = [&](const QString& line, int y) {
        const int x = (15 - metrics.horizontalAdvance(line)) / 2 + options_.OffsetX;
        painter.drawText(x, y + metrics.ascent(), line);
    };
    if (!text_.contains(u'\r')) {
        draw(text_, (15 - metrics.height()) / 2 + options_.OffsetY);
    } else {
        const QStringList lines = text_.split(u'\r');
        const int h = metrics.height() + options_.LineDistance;
        const int top = (15 - static_cast<int>(lines.size()) * h) / 2 + options_.OffsetY;
        for (qsizetype i = 0; i < lines.size(); ++i) draw(lines[i], top + static_cast<int>(i) * h);
    }
    if (border_) {
        const QColor frame = borderColor_.Resolve(palette);
        painter.fillRect(0, 0, kSize, 1, frame);
        painter.fillRect(0, kSize - 1, kSize, 1, frame);
        painter.fillRect(0, 0, 1, kSize, frame);
        painter.fillRect(kSize - 1, 0, 1, kSize, frame);
    }
    return image;
}

}  // namespace kavrel
