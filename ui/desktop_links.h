#pragma once

#include <chrono>

#include "desktop/bus_service.h"
#include "desktop/wake_watch.h"

// What the main window offers the desktop beyond its own surface: a check after a resume or the
// network's return, and the counts and a check on the session bus.
namespace kavrel {

class TfMain;

class TDesktopLinks {
  public:
    // Says in the window's log when scripts cannot reach it on the bus.
    explicit TDesktopLinks(TfMain& window,
                           std::chrono::milliseconds wakeDelay = std::chrono::seconds(5));
    ~TDesktopLinks();
    TDesktopLinks(const TDesktopLinks&) = delete;
    TDesktopLinks& operator=(const TDesktopLinks&) = delete;

    TBusService Service;
    TWakeWatch Wake;

  private:
    TfMain& window_;
};

}  // namespace kavrel
