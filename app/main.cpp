#include <cstdio>

#include "config/u_globals.h"
#include "core/mail_list.h"

// Until the main window exists, starting the program loads the settings and reports what it
// found, so that a configuration can be checked from a terminal.
int main() {
    using namespace kavrel;
    InitGlobals();
    int active = 0;
    for (int n = 1; n <= kAccountCount; ++n) active += Settings.Active[n] ? 1 : 0;
    std::printf(
        "Kavrel v1.5\nSettings file: %s\nActive accounts: %d of %d\n"
        "Check interval: %d minutes\n",
        IniPath.c_str(), active, kAccountCount, Settings.CheckInterval);
    return 0;
}
