#pragma once

#include <stdexcept>
#include <string>

// The start-at-login registration: an XDG autostart entry named "kavrel" that starts the
// program file with "-tray".
namespace kavrel {

class EStartupEntryError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// $XDG_CONFIG_HOME/autostart/kavrel.desktop (default ~/.config/autostart/).
std::string AutostartEntryPath();

// The entry's text; the program path is quoted as the Desktop Entry rules require.
std::string AutostartEntryText(const std::string& programFile);

// Creates the entry when on, removes it when off. A folder that cannot be created skips the
// registration silently; a failed write raises "Failed to set data for 'kavrel'". A missing
// entry is no error when removing.
void UpdateStartAtLogin(bool on, const std::string& programFile);

}  // namespace kavrel
