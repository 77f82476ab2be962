#pragma once

#include "core/system_colors.h"

// Text that the user's theme paints must stay readable: the luminance contrast of WCAG 2.
namespace kavrel {

// From 1 (the same luminance) to 21 (black on white).
double ContrastRatio(TColor a, TColor b);

// The background moved towards black or white, whichever lets the text stand out more, just as
// far as the minimum needs; a background that already holds it comes back unchanged.
TColor WithContrast(TColor background, TColor text, double minimum);

}  // namespace kavrel
