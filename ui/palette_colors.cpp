#include "ui/palette_colors.h"

#include <QGuiApplication>

namespace kavrel {

TColor ToColor(const QColor& colour) {
    const QColor c = colour.toRgb();
    return RGB(std::uint8_t(c.red()), std::uint8_t(c.green()), std::uint8_t(c.blue()));
}

QColor ToQColor(TColor colour) {
    return QColor(int(colour & 0xFF), int(colour >> 8 & 0xFF), int(colour >> 16 & 0xFF));
}

TColor TPaletteColors::FromPalette(const QPalette& palette, TSysColor which) {
    switch (which) {
        case TSysColor::ActiveCaption:
            return ToColor(palette.color(QPalette::Active, QPalette::Highlight));
        case TSysColor::CaptionText:
            return ToColor(palette.color(QPalette::Active, QPalette::HighlightedText));
        case TSysColor::WindowText:
            return ToColor(palette.color(QPalette::Active, QPalette::WindowText));
        case TSysColor::InactiveCaption: {
            // Many styles give both groups one highlight; the group rows must still stand
            // apart from the heading.
            const QColor active = palette.color(QPalette::Active, QPalette::Highlight);
            const QColor inactive = palette.color(QPalette::Inactive, QPalette::Highlight);
            return ToColor(inactive != active ? inactive
                                              : palette.color(QPalette::Active, QPalette::Mid));
        }
        case TSysColor::Window:
            return ToColor(palette.color(QPalette::Active, QPalette::Base));
        case TSysColor::BtnHighlight: {
            // A dark theme often leaves Light as a light palette had it, under light text;
            // the role meant for alternating rows follows the theme.
            const bool dark = palette.color(QPalette::Active, QPalette::Base).lightness() <
                              palette.color(QPalette::Active, QPalette::Text).lightness();
            return ToColor(
                palette.color(QPalette::Active, dark ? QPalette::AlternateBase : QPalette::Light));
        }
        case TSysColor::InfoText:
            return ToColor(palette.color(QPalette::Active, QPalette::ToolTipText));
    }
    return 0;
}

TColor TPaletteColors::GetSysColor(TSysColor which) const {
    return FromPalette(QGuiApplication::palette(), which);
}

}  // namespace kavrel
