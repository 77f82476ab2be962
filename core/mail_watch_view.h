#pragma once

#include <string>
#include <vector>

// What the mail check and the deletion need of the window they run in. The main window is one;
// the command-line check is another, with no window, no tray icon and no new-mail reactions.
namespace kavrel {

// A message a check found new, as a notification names it.
struct TNewMail {
    std::string From;  // the sender's name, or the address when the header gives none
    std::string Subject;
};

class TMailWatchView {
  public:
    virtual ~TMailWatchView() = default;

    // The "Pop Status" log: its whole text, or a piece added to its end.
    virtual void SetLog(const std::string& text) = 0;
    virtual void AppendLog(const std::string& piece) = 0;

    // The hourglass, pushed and popped in pairs.
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

    virtual void ShowProgress() = 0;
    // Hides the widgets, with the position back at 0 and the label empty.
    virtual void HideProgress() = 0;
    virtual void SetProgressLabel(const std::string& text) = 0;
    virtual void SetProgressMax(int maximum) = 0;
    // Drawn at once, not when the event loop next runs.
    virtual void SetProgressPosition(int position) = 0;
    virtual void SetLastChecked(const std::string& caption) = 0;

    // Handles what waits in the event queue, then returns; a window may do so at a steady rate
    // rather than at every call.
    virtual void ProcessEvents() = 0;

    virtual void UpdateSummary() = 0;
    virtual void BuildMessagePage() = 0;

    // The new-mail reactions.
    virtual void OpenWithShell(const std::string& target) = 0;
    // Returns when the sound has ended; raises an error with a readable text when it cannot
    // be played.
    virtual void PlayNewMailSound(const std::string& path) = 0;
    virtual void ShowMainWindow() = 0;
    // Tells the desktop which messages are new; a view with no desktop says nothing.
    virtual void NotifyNewMail(const std::vector<TNewMail>& /*mail*/) {}

    // The Yes/No question before a deletion; true for Yes.
    virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;

    // The program is ending: a check goes no further than the account it is at, and reacts to
    // no new mail.
    virtual bool Ending() const { return false; }
};

}  // namespace kavrel
