#pragma once

#include <sys/types.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace kavrel::test {

// A private PulseAudio daemon for the sound tests: its socket, state and sink under a
// temporary folder, found by clients through PULSE_SERVER for the life of the object. The
// sink is a pipe timed by the system clock, so a sound takes as long to play as it lasts.
// Throws std::runtime_error when pulseaudio is not installed or does not come up.
class TPulseServer {
  public:
    TPulseServer();
    ~TPulseServer();
    TPulseServer(const TPulseServer&) = delete;
    TPulseServer& operator=(const TPulseServer&) = delete;

    const std::string& Address() const { return address_; }

  private:
    TTempDir dir_;
    std::string address_;
    pid_t pid_ = -1;
};

// A 16-bit stereo wave file of a 440 Hz tone.
std::string ToneWave(double seconds, int rate = 44100);

}  // namespace kavrel::test
