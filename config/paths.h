#pragma once

#include <string>

namespace kavrel {

// Full path of the running program file; empty when the system cannot tell it.
std::string ProgramFilePath();

// The folder part of a path, with its trailing "/" ("" when the path has no folder).
std::string DirectoryOf(const std::string& path);

// $XDG_CONFIG_HOME when it is set to an absolute path, otherwise ~/.config; no trailing "/".
std::string UserConfigHome();

// The bin folder of the prefix this build installs into ("" when it has none).
std::string InstalledBinFolder();

// Where "kavrel.ini" lives. A file already beside the program wins, so no one's settings move.
// Otherwise an installed copy (its folder is installedBin) and a copy in a folder it cannot
// write to use the user's configuration folder, under "kavrel/": an install into ~/.local/bin
// must not leave passwords in a folder on the PATH. A copy run from its build or unpack folder
// keeps them beside itself.
std::string ChooseIniPath(const std::string& appPath,
                          const std::string& installedBin = InstalledBinFolder());

}  // namespace kavrel
