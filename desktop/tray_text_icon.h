#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPalette>
#include <QString>

#include "desktop/tray_icon.h"

// A tray icon whose picture is a short text, drawn afresh into a 16 x 16 square and into each
// of the larger squares that trays and scaled screens ask for.
namespace kavrel {

// A colour as the icon knows it: none, a fixed value, or a colour of the desktop's palette
// that is looked up each time the icon is drawn, so that a new colour scheme shows at the
// next redraw.
class TColorRef {
  public:
    static TColorRef None() { return TColorRef(); }
    static TColorRef Fixed(const QColor& color) { return TColorRef(color, QPalette::NoRole); }
    static TColorRef System(QPalette::ColorRole role) { return TColorRef(QColor(), role); }

    bool IsNone() const { return !fixed_.isValid() && role_ == QPalette::NoRole; }
    // The colour in the active group of palette; an invalid colour for None.
    QColor Resolve(const QPalette& palette) const;

    bool operator==(const TColorRef&) const = default;

  private:
    TColorRef() = default;
    TColorRef(const QColor& fixed, QPalette::ColorRole role) : fixed_(fixed), role_(role) {}

    QColor fixed_;
    QPalette::ColorRole role_ = QPalette::NoRole;
};

// Shifts of the text and extra space between lines, in pixels.
struct TOffsetOptions {
    int OffsetX = 0;
    int OffsetY = 0;
    int LineDistance = 0;
    bool operator==(const TOffsetOptions&) const = default;
};

// The defaults are the component's own (text in WindowText on Button); the main window gives
// it HighlightedText on Highlight.
class TTrayTextIcon : public TTrayIcon {
    Q_OBJECT

  public:
    static constexpr int kSize = 16;
    // Square sizes in device pixels: the common tray slots, at scale factors 1 and 2. A size in
    // between gets the next larger one scaled down. Each is drawn at scale 1: the icon picks by
    // device pixels and marks the ratio on what it hands out.
    static constexpr int kSizes[] = {16, 22, 24, 32, 44, 48, 64};

    explicit TTrayTextIcon(QWidget* owner, QObject* parent = nullptr);

    // Each setter redraws the icon.
    const QString& Text() const { return text_; }
    void SetText(const QString& text);
    const QFont& Font() const { return font_; }
    void SetFont(const QFont& font);
    const TColorRef& FontColor() const { return fontColor_; }
    void SetFontColor(const TColorRef& color);
    const TColorRef& Color() const { return color_; }
    void SetColor(const TColorRef& color);
    bool Border() const { return border_; }
    void SetBorder(bool border);
    const TColorRef& BorderColor() const { return borderColor_; }
    void SetBorderColor(const TColorRef& color);
    const TOffsetOptions& Options() const { return options_; }
    void SetOptions(const TOffsetOptions& options);

    // The desktop's UI font at 11 pixels, plain, drawn without smoothing so that the digits
    // stay sharp in so small a square.
    static QFont DefaultFont();

    // font, made smaller, down to 7 pixels at 16 (in proportion in larger squares), until one
    // line of text fits a square of size: a clipped "133" would read "L33". Lines,
    // and fonts sized in points, are left as they are.
    static QFont FittedFont(const QFont& font, const QString& text, int size = kSize);

    // Draws Text into a new opaque image of each size, keeps the 16 x 16 one and the
    // background it chose, and makes them together the tray icon.
    void RefreshTextIcon();

    // The kept drawing and the colour that was its background: invalid once RefreshTextIcon
    // has made the icon opaque, the colour that turned transparent when Color is None.
    const QImage& Bitmap() const { return bitmap_; }
    const QColor& BackgroundColor() const { return background_; }
    // The image the tray icon was made from.
    const QImage& IconImage() const { return iconImage_; }

  protected:
    // Font, offsets, line distance and border grow with size as 16 grows to it.
    virtual QImage DrawTextBitmap(int size);

  private:
    QString text_;
    QFont font_;
    TColorRef fontColor_ = TColorRef::System(QPalette::WindowText);
    TColorRef color_ = TColorRef::System(QPalette::Button);
    bool border_ = false;
    TColorRef borderColor_ = TColorRef::Fixed(Qt::black);
    TOffsetOptions options_;
    QImage bitmap_;
    QColor background_;
    QImage iconImage_;
};

}  // namespace kavrel
