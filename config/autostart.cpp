#include "config/autostart.h"

#include <unistd.h>

#include "config/durable_file.h"
#include "config/paths.h"

namespace kavrel {
namespace {

constexpr const char* kEntryName = "kavrel";

// One argument of an Exec line: quoted, with the characters that are special inside quotes
// escaped, "%" doubled (field codes), then the string-value escapes applied on top.
std::string ExecArgument(const std::string& arg) {
    std::string quoted = "\"";
    for (const char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string out;
    for (const char c : quoted) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

std::string AutostartEntryPath() { return UserConfigHome() + "/autostart/kavrel.desktop"; }

std::string AutostartEntryText(const std::string& programFile) {
    return std::string(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=") +
           kEntryName +
           "\n"
           "Comment=Watches POP3 mailboxes from the system tray\n"
           "Exec=" +
           ExecArgument(programFile) +
           " -tray\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

void UpdateStartAtLogin(bool on, const std::string& programFile) {
    const std::string path = AutostartEntryPath();
    if (!on) {
        ::unlink(path.c_str());
        return;
    }
    if (!EnsureDirectory(UserConfigHome() + "/autostart")) return;
    if (!ReplaceFileAtomically(path, AutostartEntryText(programFile), 0644)) {
        throw EStartupEntryError(std::string("Failed to set data for '") + kEntryName + "'");
    }
}

}  // namespace kavrel
