#pragma once

#include <cstdint>

// The desktop colours the message table page is painted with, read through an interface so the
// page text can be built, and tested, without a display.
namespace kavrel {

// Red in the lowest byte, green in the next, blue in the third.
using TColor = std::uint32_t;

constexpr TColor RGB(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return TColor(red) | TColor(green) << 8 | TColor(blue) << 16;
}

// The numbers are the ones the colour indexes have always had.
enum class TSysColor {
    ActiveCaption = 2,
    InactiveCaption = 3,
    Window = 5,
    WindowText = 8,
    CaptionText = 9,
    BtnHighlight = 20,
    InfoText = 23,
};

class TSystemColors {
  public:
    virtual ~TSystemColors() = default;
    virtual TColor GetSysColor(TSysColor which) const = 0;
};

}  // namespace kavrel
