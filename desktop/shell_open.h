#pragma once

#include <QUrl>
#include <functional>
#include <string>

// Handing a program, a document or a web address to the desktop, as a double click would.
namespace kavrel {

enum class TShellAction {
    StartDetached,  // a regular file we may execute: run it as a program
    OpenUrl,        // anything else: the desktop's default handler (xdg-open)
};

TShellAction ShellActionFor(const std::string& target);

// What OpenUrl is given: an existing path as a file address, anything else as the user would
// type it into a browser ("example.org" becomes http://example.org).
QUrl ShellUrlFor(const std::string& target);

// Starts or opens target and returns at once. Whether it worked is not reported: a target that
// cannot be opened simply does not open.
void OpenWithShell(const std::string& target);

using TShellOpener = std::function<void(const std::string&)>;

// The main window's "Launch Mail Program": opens mailProgram when a regular file of exactly
// that name exists, with the hourglass shown until the event loop has run once; otherwise
// hands showMessage the text of an OK box naming the missing program.
void ExternalMailExecute(const std::string& mailProgram,
                         const std::function<void(const QString&)>& showMessage,
                         const TShellOpener& open = OpenWithShell);

// Hourglass for the life of the guard.
class TWaitCursor {
  public:
    TWaitCursor();
    ~TWaitCursor();
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

}  // namespace kavrel
