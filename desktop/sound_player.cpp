#include "desktop/sound_player.h"

#include <pulse/error.h>
#include <pulse/simple.h>
#include <sndfile.h>

#include <vector>

namespace kavrel {
namespace {

struct TSndFileClose {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
struct TSimpleFree {
    void operator()(pa_simple* s) const { pa_simple_free(s); }
};

}  // namespace

struct TSoundPlayer::TDevice {
    std::unique_ptr<SNDFILE, TSndFileClose> file;
    std::unique_ptr<pa_simple, TSimpleFree> stream;
    SF_INFO info{};
    sf_count_t position = 0;  // frames played
};

TSoundPlayer::TSoundPlayer() = default;
TSoundPlayer::~TSoundPlayer() = default;

void TSoundPlayer::Open() {
    device_.reset();
    auto device = std::make_unique<TDevice>();
    device->file.reset(sf_open(FileName.c_str(), SFM_READ, &device->info));
    if (!device->file) throw ESoundError(sf_strerror(nullptr));

    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_FLOAT32NE;
    spec.rate = std::uint32_t(device->info.samplerate);
    spec.channels = std::uint8_t(device->info.channels);
    if (device->info.channels < 1 || device->info.channels > int(PA_CHANNELS_MAX) ||
        device->info.samplerate < 1 || !pa_sample_spec_valid(&spec)) {
        throw ESoundError("The sound file has a sample format that cannot be played.");
    }
    int error = 0;
    device->stream.reset(pa_simple_new(nullptr, "Kavrel", PA_STREAM_PLAYBACK, nullptr, "New mail",
                                       &spec, nullptr, nullptr, &error));
    if (!device->stream) {
        const char* text = pa_strerror(error);
        throw ESoundError(text != nullptr ? text : "Unknown error code");
    }
    device_ = std::move(device);
}

void TSoundPlayer::Play() {
    if (!device_) throw ESoundError("No MCI device open");
    lastError_.clear();
    TDevice& d = *device_;
    // A sound that has been played to its end starts again from the beginning.
    if (d.position >= d.info.frames) {
        sf_seek(d.file.get(), 0, SEEK_SET);
        d.position = 0;
    }
    constexpr sf_count_t kFrames = 4096;
    std::vector<float> samples(std::size_t(kFrames * d.info.channels));
    int error = 0;
    for (;;) {
        const sf_count_t read = sf_readf_float(d.file.get(), samples.data(), kFrames);
        if (read <= 0) break;
        d.position += read;
        const std::size_t bytes = std::size_t(read * d.info.channels) * sizeof(float);
        if (pa_simple_write(d.stream.get(), samples.data(), bytes, &error) < 0) {
            lastError_ = pa_strerror(error);
            return;
        }
    }
    // The whole sound has been handed over; wait until it has been heard.
    if (pa_simple_drain(d.stream.get(), &error) < 0) lastError_ = pa_strerror(error);
}

void TSoundPlayer::Close() {
    lastError_.clear();
    device_.reset();
}

long long TSoundPlayer::LengthMs() const {
    if (!device_ || device_->info.samplerate <= 0) return 0;
    return device_->info.frames * 1000 / device_->info.samplerate;
}

void PlayNewMailSound(TSoundPlayer& mpSound, const std::string& path) {
    mpSound.FileName = path;
    mpSound.Open();
    mpSound.Play();
    mpSound.Close();
}

}  // namespace kavrel
