#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <stdexcept>
#include <string>

#include "config/window_placement.h"

class QWidget;

// Remembers where a window was: its normal rectangle (and, with State, whether it was
// minimized or maximized) in a section of the settings file named after the window's class,
// read back each time the window is shown.
namespace kavrel {

// "Unable to write to <file>".
class EPlacementWriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class TPlacementStore : public QObject {
    Q_OBJECT

  public:
    enum TOption { fpState = 1, fpPosition = 2 };

    // Child of owner; watches its show events. The owner reports closing and destruction
    // through FormClose and FormDestroy, which a child cannot see in time.
    TPlacementStore(QWidget* owner, int options);

    bool Active = false;
    std::string IniFileName;
    std::string IniSection;  // empty: the owner's class name
    int Options;
    int Version = 0;
    std::function<void()> OnSavePlacement;
    std::function<void()> OnRestorePlacement;

    // Raises EPlacementWriteError when the file cannot be written.
    void SavePlacement();
    void RestorePlacement();

    // The hooks. An error is shown in an error box and goes no further.
    void FormShow();
    // Call while the window is still on the screen, once closing is certain.
    void FormClose();
    // Call from the owner's destructor, before the window is torn down.
    void FormDestroy();

    bool WasRestored() const { return wasRestored_; }

    // False where the compositor places every window itself (Wayland): then only the size is
    // restored.
    static bool CanPlaceWindows();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::string Section() const;
    void ApplyPlacement(const TPlacementSection& section);
    void Guarded(void (TPlacementStore::*hook)());

    QPointer<QWidget> owner_;
    bool wasRestored_ = false;
    bool savedSinceRestore_ = false;
    bool savingOnDestroy_ = false;
};

// Puts a window that nothing has placed yet in the middle of its screen (the owner's screen for
// a dialog); call it from the window's show event.
void CentreOnScreen(QWidget& window);

}  // namespace kavrel
