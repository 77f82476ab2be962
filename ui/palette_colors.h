#pragma once

#include <QColor>
#include <QPalette>

#include "core/system_colors.h"

// The desktop's colours for the message table page, taken from the application's palette
// each time they are asked for, so that a change of theme shows at the next build.
namespace kavrel {

class TPaletteColors final : public TSystemColors {
  public:
    TColor GetSysColor(TSysColor which) const override;

    // The same mapping over a given palette.
    static TColor FromPalette(const QPalette& palette, TSysColor which);
};

TColor ToColor(const QColor& colour);
QColor ToQColor(TColor colour);

}  // namespace kavrel
