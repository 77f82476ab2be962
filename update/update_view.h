#pragma once

#include <string>

// What the update check needs of the window it runs in. The main window implements it; tests
// implement it with a recorder.
namespace kavrel {

class TUpdateView {
  public:
    virtual ~TUpdateView() = default;

    // A piece added to the end of the "Pop Status" log ("\r\n" starts a new line).
    virtual void AppendLog(const std::string& piece) = 0;

    // The hourglass, pushed and popped in pairs.
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

    // The status bar's progress bar and its label.
    virtual void SetProgressVisible(bool visible) = 0;
    virtual void SetProgressLabel(const std::string& text) = 0;
    virtual void SetProgressMax(int maximum) = 0;
    // Drawn at once, not when the event loop next runs.
    virtual void SetProgressPosition(int position) = 0;

    // Handles what waits in the event queue, then returns.
    virtual void ProcessEvents() = 0;

    // A box with an OK button; returns when it is closed.
    virtual void ShowInformation(const std::string& caption, const std::string& text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;

    // Hands the saved installer to the desktop and returns at once.
    virtual void StartInstaller(const std::string& path) = 0;
    // Ends the program, as closing the main window does.
    virtual void CloseProgram() = 0;
};

}  // namespace kavrel
