#include "config/window_placement.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/integer.h"
#include "config/ini_file.h"

namespace kavrel {
namespace {

constexpr std::size_t kMaxValueLength = 2047;
// No screen reaches this far; larger numbers in a hand-edited file would only overflow the
// arithmetic on them.
constexpr int kMaxCoordinate = 1 << 24;

std::string Four(int a, int b, int c, int d) {
    char text[64];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d", a, b, c, d);
    return text;
}

// How far apart two rectangles are, squared; 0 when they meet.
std::int64_t Distance(const TRect& a, const TRect& b) {
    const std::int64_t dx = std::max({0, b.Left - a.Right, a.Left - b.Right});
    const std::int64_t dy = std::max({0, b.Top - a.Bottom, a.Top - b.Bottom});
    return dx * dx + dy * dy;
}

bool Overlap(const TRect& a, const TRect& b) {
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

// The start that puts a span of length size inside [low, high), or low when it is too long.
int FitStart(int start, int size, int low, int high) {
    return std::max(low, std::min(start, high - size));
}

}  // namespace

int ShowCmdOf(TShowState state) {
    switch (state) {
        case TShowState::Minimized:
            return 2;
        case TShowState::Maximized:
            return 3;
        case TShowState::Normal:
            break;
    }
    return 1;
}

TShowState ShowStateOf(int showCmd, TShowState def) {
    switch (showCmd) {
        case 1:
        case 5:
        case 9:
            return TShowState::Normal;
        case 2:
        case 6:
        case 7:
            return TShowState::Minimized;
        case 3:
            return TShowState::Maximized;
        default:
            return def;
    }
}

std::string ScreenSuffix(int width, int height) {
    char text[40];
    std::snprintf(text, sizeof text, "(%dx%d)", width, height);
    return text;
}

bool WritePlacement(const std::string& fileName, const std::string& section,
                    const TPlacementRecord& r, const std::string& screenSuffix) {
    const std::string minMax = Four(r.MinMaxPos[0], r.MinMaxPos[1], r.MinMaxPos[2], r.MinMaxPos[3]);
    const std::string norm = Four(r.NormPos.Left, r.NormPos.Top, r.NormPos.Right, r.NormPos.Bottom);
    return IniWriteValues(fileName, section,
                          {{"FormVersion", IntToStr(r.FormVersion)},
                           {"Flags", IntToStr(r.Flags)},
                           {"ShowCmd", IntToStr(r.ShowCmd)},
                           {"PixelsPerInch", IntToStr(r.PixelsPerInch)},
                           {"MinMaxPos" + screenSuffix, minMax},
                           {"MinMaxPos", minMax},
                           {"NormPos" + screenSuffix, norm},
                           {"NormPos", norm},
                           {"Visible", r.Visible ? "1" : "0"}});
}

TPlacementSection::TPlacementSection(const std::string& fileName, std::string section)
    : file_(TIniView::Load(fileName)), section_(std::move(section)) {}

std::optional<std::string> TPlacementSection::Text(std::string_view key) const {
    auto value = file_.Read(section_, key);
    if (!value || value->empty()) return std::nullopt;
    if (value->size() > kMaxValueLength) value->resize(kMaxValueLength);
    return value;
}

std::int32_t TPlacementSection::Integer(std::string_view key, std::int32_t def) const {
    const auto text = Text(key);
    if (!text) return def;
    return TryStrToInt(*text).value_or(def);
}

std::optional<std::string> TPlacementSection::ScreenText(std::string_view key,
                                                         const std::string& suffix) const {
    if (auto text = Text(std::string(key) + suffix)) return text;
    return Text(key);
}

std::array<int, 4> ParseFour(std::string_view text, const std::array<int, 4>& defaults) {
    std::array<int, 4> out = defaults;
    std::size_t word = 0;
    std::size_t i = 0;
    while (word < out.size() && i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ',')) ++i;
        if (i == text.size()) break;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != ',') ++i;
        const auto n = TryStrToInt(text.substr(start, i - start));
        if (n && *n >= -kMaxCoordinate && *n <= kMaxCoordinate) out[word] = *n;
        ++word;
    }
    return out;
}

TRect BringOntoScreens(const TRect& rect, const std::vector<TRect>& screens) {
    if (screens.empty()) return rect;
    if (std::any_of(screens.begin(), screens.end(),
                    [&](const TRect& s) { return Overlap(rect, s); })) {
        return rect;
    }
    const TRect& nearest = *std::min_element(
        screens.begin(), screens.end(),
        [&](const TRect& a, const TRect& b) { return Distance(rect, a) < Distance(rect, b); });
    TRect out = rect;
    out.Left = FitStart(rect.Left, rect.Width(), nearest.Left, nearest.Right);
    out.Top = FitStart(rect.Top, rect.Height(), nearest.Top, nearest.Bottom);
    out.Right = out.Left + rect.Width();
    out.Bottom = out.Top + rect.Height();
    return out;
}

}  // namespace kavrel
