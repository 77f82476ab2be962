#include "config/u_globals.h"

#include "config/paths.h"

namespace kavrel {

PW_SETTINGS_TYPE Settings;
std::string AppPath;
std::string IniPath;
std::string ProgramFile;

std::string InitGlobals() {
    ProgramFile = ProgramFilePath();
    AppPath = DirectoryOf(ProgramFile);
    IniPath = ChooseIniPath(AppPath);
    return LoadSettings();
}

std::string SettingsFolder() { return DirectoryOf(IniPath); }

}  // namespace kavrel
