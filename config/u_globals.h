#pragma once

#include <string>

#include "config/settings.h"

// The program-wide globals, set once at start-up. The tracked message list sits beside its
// record type in core/mail_list.h, which builds on this module.
namespace kavrel {

extern PW_SETTINGS_TYPE Settings;
extern std::string AppPath;      // folder of the program file, with a trailing "/"
extern std::string IniPath;      // the settings file (see ChooseIniPath)
extern std::string ProgramFile;  // full path of the program file, for the start-at-login entry

// Sets the paths and loads Settings. Returns what LoadSettings returns: "" normally, or the
// sentence that tells the user the settings file was too large to read.
std::string InitGlobals();

// The folder of IniPath with its trailing "/": files that belong beside the settings go here.
std::string SettingsFolder();

}  // namespace kavrel
