#pragma once

#include <string>

namespace kavrel {

// Shows url in the user's web browser: the program $BROWSER names (its first choice, with
// "%s" standing for the address or the address appended), else the desktop's own through
// xdg-open. False when no program could be started.
bool OpenInBrowser(const std::string& url);

}  // namespace kavrel
