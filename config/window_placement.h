#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/ini_file.h"

// A window's place on the screen as kept in a section of the settings file: the record, the
// key names and formats, and the rules that need no window to check.
namespace kavrel {

// Right and bottom lie just outside the rectangle: width is Right - Left.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TRect&) const = default;
};

enum class TShowState { Normal, Minimized, Maximized };

// The show command numbers of the file: 1 normal, 2 minimized, 3 maximized.
int ShowCmdOf(TShowState state);
// 1, 5 and 9 read as normal, 2, 6 and 7 as minimized, 3 as maximized, anything else as def.
TShowState ShowStateOf(int showCmd, TShowState def);

struct TPlacementRecord {
    int FormVersion = 0;
    int Flags = 0;
    int ShowCmd = 1;
    int PixelsPerInch = 96;
    // Minimized x and y, maximized x and y; -1 where the window has no such place of its own.
    std::array<int, 4> MinMaxPos{-1, -1, -1, -1};
    TRect NormPos;
    // Written while the window was being destroyed; kept in the file, never read back.
    bool Visible = false;
};

// The suffix that ties a key to a screen size: "(1024x768)".
std::string ScreenSuffix(int width, int height);

// Writes every key in its order, the two position keys once with screenSuffix and once
// plain, with one replacement of the file. False when the file could not be written.
bool WritePlacement(const std::string& fileName, const std::string& section,
                    const TPlacementRecord& record, const std::string& screenSuffix);

// One section as it stood in the file when this was made; the file is read once, and not at
// all when it is too large (then every key is missing).
class TPlacementSection {
  public:
    TPlacementSection(const std::string& fileName, std::string section);

    // At most 2047 characters of the value; nothing when the key is missing or empty.
    std::optional<std::string> Text(std::string_view key) const;
    // The value as an integer ("0x" starts a hexadecimal one); def when it is no number.
    std::int32_t Integer(std::string_view key, std::int32_t def) const;
    // The key with the screen suffix when it holds text, otherwise the plain key.
    std::optional<std::string> ScreenText(std::string_view key, const std::string& suffix) const;

  private:
    TIniView file_;
    std::string section_;
};

// Words 1 to 4 of text split at blanks and commas, each as an integer; the matching default
// where a word is missing, is no number or lies beyond any screen (more than 2^24 from 0).
std::array<int, 4> ParseFour(std::string_view text, const std::array<int, 4>& defaults);

// A rectangle that lies wholly off every screen (a monitor unplugged since it was saved) is
// moved, at its size, onto the nearest screen, as far in as it fits. Any other rectangle, and
// any rectangle when there are no screens, is left as it is.
TRect BringOntoScreens(const TRect& rect, const std::vector<TRect>& screens);

}  // namespace kavrel
