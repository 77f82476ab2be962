#pragma once

#include <memory>
#include <stdexcept>
#include <string>

// Plays a sound file to its end on the calling thread: the file decoded by libsndfile, the
// samples handed to the desktop's sound server (PulseAudio, or PipeWire through its PulseAudio
// service).
namespace kavrel {

class ESoundError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class TSoundPlayer {
  public:
    TSoundPlayer();
    ~TSoundPlayer();
    TSoundPlayer(const TSoundPlayer&) = delete;
    TSoundPlayer& operator=(const TSoundPlayer&) = delete;

    std::string FileName;

    // Opens FileName and a playback stream for it, closing what was open first. Raises
    // ESoundError with the decoder's or the sound server's text; nothing is open then.
    void Open();
    // Plays from the start to the end and returns when the sound has been heard. Raises "No
    // MCI device open" when nothing is open; a failure while playing is kept in LastError.
    void Play();
    // A failure is kept in LastError; the player counts as closed whatever happens.
    void Close();

    bool IsOpen() const { return device_ != nullptr; }
    // The text of the last failure of Play or Close, empty after one that went well.
    const std::string& LastError() const { return lastError_; }
    // Length of the open sound in milliseconds, 0 when none is open.
    long long LengthMs() const;

  private:
    struct TDevice;
    std::unique_ptr<TDevice> device_;
    std::string lastError_;
};

// Sets the file, opens, plays to the end and closes; raises what Open raises.
void PlayNewMailSound(TSoundPlayer& mpSound, const std::string& path);

}  // namespace kavrel
