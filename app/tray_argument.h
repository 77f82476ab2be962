#pragma once

#include <string>
#include <vector>

namespace kavrel {

// True when the program is to start hidden in the tray: the first argument (args holds the
// arguments after the program name), upper-cased over a to z and trimmed of codes 0 to 32,
// is exactly "-TRAY". A later argument or a longer word does not count.
bool IsTrayStart(const std::vector<std::string>& args);

}  // namespace kavrel
