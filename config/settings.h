#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
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

// How an account's connection is protected, as chosen in the settings dialog. Auto: as its
// "POP Server" text says, which is what a settings file without the choice means.
enum class TSecurity { Auto, TLS, STARTTLS, WhenOffered, None };

// How an account signs in: with its password (USER/PASS, or SCRAM where the server offers
// it), or with OAuth 2.0, the refresh token kept in the desktop keyring.
enum class TSignIn { Password, OAuth };

struct PW_SETTINGS_TYPE {
    std::string MailProgram;
    std::string NewMailWave;
    TAccountSlots<bool> Active;
    TAccountSlots<std::string> Server;
    TAccountSlots<std::string> Account;
    TAccountSlots<std::string> Password;
    TAccountSlots<TSecurity> Security;
    TAccountSlots<TSignIn> SignIn;
    TAccountSlots<std::string> Provider;  // a preset's id, empty for none
    bool StartWithWindows = false;
    std::int32_t CheckInterval = 5;
    bool VisiblePassword = false;
    bool LaunchOnNewMail = false;
    bool ShowOnNewMail = false;
    bool ConfirmDelete = true;
    // A desktop notification names the new messages of a check.
    bool NotifyOnNewMail = true;
    // Passwords go to the desktop keyring instead of the file.
    bool PasswordsInKeyring = false;
};

// A save that could not write the settings file: "Unable to save the settings to <IniPath>:
// <the system's reason>." The values stay in Settings.
class ESettingsSaveError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A flag value is true when its first character after trimming is "Y" or "y".
bool FlagOf(const std::string& text);

// Fills Settings from IniPath, read once; missing or odd values give the defaults. Never fails
// and never creates the file. Returns "" when the file was read or is absent. A file larger
// than 1 MiB is not read (Settings keeps the defaults) and the result is the sentence for the
// log and the command line: "The settings file <IniPath> is larger than 1 MB and was not
// read." The next save into the file (settings or a window's place) moves it aside to
// "<IniPath>.too-large" and starts a fresh one. A file holding passwords that group or others
// may read is made readable by its owner alone, and the result says so: "The settings file
// <IniPath> held passwords others could read; it is now readable by you alone." Temporary
// files left beside it by saves cut short more than a minute ago are removed.
std::string LoadSettings();

// Writes every field of Settings to IniPath (readable by its owner alone when it holds a
// password), then makes the start-at-login entry follow StartWithWindows. Raises
// ESettingsSaveError when the file cannot be written, before the entry is touched, and
// EStartupEntryError when the entry cannot be written.
void SaveSettings();

}  // namespace kavrel
