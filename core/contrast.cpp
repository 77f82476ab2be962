#include "core/contrast.h"

#include <algorithm>
#include <cmath>

namespace kavrel {
namespace {

double Linear(unsigned channel) {
    const double c = channel / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(TColor c) {
    return 0.2126 * Linear(c & 0xFF) + 0.7152 * Linear(c >> 8 & 0xFF) +
           0.0722 * Linear(c >> 16 & 0xFF);
}

TColor Mix(TColor from, TColor to, int step, int steps) {
    TColor out = 0;
    for (int shift : {0, 8, 16}) {
        const int a = int(from >> shift & 0xFF);
        const int b = int(to >> shift & 0xFF);
        out |= TColor(a + ((b - a) * step + steps / 2) / steps) << shift;
    }
    return out;
}

}  // namespace

double ContrastRatio(TColor a, TColor b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TColor WithContrast(TColor background, TColor text, double minimum) {
    const TColor white = RGB(255, 255, 255);
    const TColor target = ContrastRatio(text, white) >= ContrastRatio(text, 0) ? white : 0;
    constexpr int kSteps = 255;
    for (int step = 0; step < kSteps; ++step) {
        const TColor mixed = Mix(background, target, step, kSteps);
        if (ContrastRatio(mixed, text) >= minimum) return mixed;
    }
    return target;
}

}  // namespace kavrel
