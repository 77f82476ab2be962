#pragma once

#include <string>
#include <vector>

namespace kavrel {

// "-TRAY" as the first argument (any letter case, blanks and control characters around it
// ignored) starts the program in the tray. arguments excludes the program's own name.
bool IsTrayStart(const std::vector<std::string>& arguments);

}  // namespace kavrel
