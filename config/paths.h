#pragma once

#include <string>

namespace kavrel {

// Full path of the running program file; empty when the system cannot tell it.
std::string ProgramFilePath();

// The folder part of a path, with its trailing "/" ("" when the path has no folder).
std::string DirectoryOf(const std::string& path);

// $XDG_CONFIG_HOME when it is set to an absolute path, otherwise ~/.config; no trailing "/".
std::string UserConfigHome();

// Where "kavrel.ini" lives: beside the program when it is there already or the program's folder
// is writable (a copy run from its build or unpack folder); otherwise, for a copy installed in a
// read-only system folder, in the user's configuration folder, under "kavrel/".
std::string ChooseIniPath(const std::string& appPath);

}  // namespace kavrel
