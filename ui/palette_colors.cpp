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
        case TSysColor::BtnHighlight:
            return ToColor(palette.color(QPalette::Active, QPalette::Light));
    }
    return 0;
}

TColor TPaletteColors::GetSysColor(TSysColor which) const {
    return FromPalette(QGuiApplication::palette(), which);
}

}  // namespace kavrel
