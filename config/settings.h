#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kavrel {

constexpr int kAccountCount = 4;

// Per-account values, numbered 1 to 4 as everywhere in the program.
template <typename T>
class TAccountSlots {
  public:
    T& operator[](int n) { return slots_.at(static_cast<std::size_t>(n - 1)); }
    const T& operator[](int n) const { return slots_.at(static_cast<std::size_t>(n - 1)); }

  private:
    std::array<T, kAccountCount> slots_{};
};

struct PW_SETTINGS_TYPE {
    std::string MailProgram;
    std::string NewMailWave;
    TAccountSlots<bool> Active;
    TAccountSlots<std::string> Server;
    TAccountSlots<std::string> Account;
    TAccountSlots<std::string> Password;
    bool StartWithWindows = false;
    std::int32_t CheckInterval = 5;
    bool VisiblePassword = false;
    bool LaunchOnNewMail = false;
    bool ShowOnNewMail = false;
    bool ConfirmDelete = true;
};

// A flag value is true when its first character after trimming is "Y" or "y".
bool FlagOf(const std::string& text);

// Fills Settings from IniPath, read once; missing or odd values give the defaults. Never fails
// and never creates the file. Returns "" when the file was read or is absent. A file larger
// than 1 MiB is not read (Settings keeps the defaults) and the result is the sentence for the
// log and the command line: "The settings file <IniPath> is larger than 1 MB and was not
// read." The next save into the file (settings or a window's place) moves it aside to
// "<IniPath>.too-large" and starts a fresh one.
std::string LoadSettings();

// Writes every field of Settings to IniPath, then makes the start-at-login entry follow
// StartWithWindows. Raises EStartupEntryError when that entry cannot be written.
void SaveSettings();

}  // namespace kavrel
