// A window position as the settings file holds it, and the screens it must come back onto.
//
// Input: lines of four numbers: the window's rectangle, then one line per screen.
#include <vector>

#include "config/window_placement.h"
#include "tests/fuzz/fuzz_support.h"

namespace kavrel {
namespace {

TRect RectOf(std::string_view text) {
    const auto four = ParseFour(text, {0, 0, 640, 480});
    return {four[0], four[1], four[2], four[3]};
}

bool Meets(const TRect& a, const TRect& b) {
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

}  // namespace
}  // namespace kavrel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    fuzz::TFuzzInput input(data, size);
    const TRect window = RectOf(input.Line());
    std::vector<TRect> screens;
    while (!input.Empty() && screens.size() < 8) {
        const TRect screen = RectOf(input.Line());
        if (screen.Width() > 0 && screen.Height() > 0) screens.push_back(screen);
    }

    const TRect placed = BringOntoScreens(window, screens);
    // Moved, never resized.
    FUZZ_CHECK(placed.Width() == window.Width() && placed.Height() == window.Height());
    bool onScreen = false;
    for (const TRect& s : screens) onScreen = onScreen || Meets(window, s);
    if (screens.empty() || onScreen) FUZZ_CHECK(placed == window);
    if (!screens.empty() && window.Width() > 0 && window.Height() > 0) {
        bool shown = false;
        for (const TRect& s : screens) shown = shown || Meets(placed, s);
        FUZZ_CHECK(shown);
    }
    return 0;
}
