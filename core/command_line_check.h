#pragma once

#include <ostream>

#include "net/pop3/pop3.h"

// "kavrel --check": one mail check with the settings file the window uses, for scripts and
// status bars. No window, no tray icon, no new-mail reactions; it needs no display.
namespace kavrel {

struct TCheckOptions {
    bool Page = false;  // print the message table page instead of the tool-tip line
};

// Runs one check with the loaded settings and prints the log (one "\n" per CR LF), then the
// tray icon's tool-tip text or the page. The result is the exit status: 1 when there were
// enabled accounts and every one of them failed, else 0.
int RunCommandLineCheck(const TCheckOptions& options, TPOP3& pop, std::ostream& out);
int RunCommandLineCheck(const TCheckOptions& options, std::ostream& out);

}  // namespace kavrel
