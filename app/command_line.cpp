#include "app/command_line.h"

namespace kavrel {

const char* const kUsage =
    "Usage: kavrel [-tray]\n"
    "       kavrel --check [--page]\n"
    "       kavrel --version | --help\n"
    "\n"
    "  -tray      start with only the tray icon showing\n"
    "  --check    check every enabled account once, print the log and the tool-tip line,\n"
    "             and exit: 0, or 1 when every enabled account failed\n"
    "  --page     with --check: print the message table page instead of the tool-tip line\n"
    "  --version  print the program's name and version\n"
    "  --help     show this text\n";

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    TCommandLine line;
    bool check = false;
    bool page = false;
    for (const std::string& a : arguments) {
        if (a == "--check") {
            check = true;
        } else if (a == "--page") {
            page = true;
        } else if (a == "--help" || a == "-h") {
            line.Mode = TRunMode::Help;
            return line;
        } else if (a == "--version") {
            line.Mode = TRunMode::Version;
            return line;
        } else if (a.rfind("--", 0) == 0) {
            line.Mode = TRunMode::Invalid;
            line.Error = "Unknown option \"" + a + "\".";
            return line;
        }
        // Anything else belongs to the window, which reads "-TRAY" itself.
    }
    if (page && !check) {
        line.Mode = TRunMode::Invalid;
        line.Error = "--page goes with --check.";
        return line;
    }
    if (check) {
        line.Mode = TRunMode::Check;
        line.Check.Page = page;
    }
    return line;
}

}  // namespace kavrel
