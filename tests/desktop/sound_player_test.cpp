#include "desktop/sound_player.h"

#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/pulse_server.h"
#include "tests/support/raises.h"
#include "tests/support/temp_dir.h"

namespace kavrel {
namespace {

using namespace kavrel::test;
using Clock = std::chrono::steady_clock;

double SecondsToPlay(TSoundPlayer& player, const std::string& path) {
    const auto start = Clock::now();
    PlayNewMailSound(player, path);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(SoundPlayer, PlaysTheWholeSoundBeforeItReturns) {
    TPulseServer pulse;
    TTempDir dir;
    const std::string tone = dir / "tone.wav";
    WriteFile(tone, ToneWave(0.5));
    TSoundPlayer player;
    // Twice: the second play must not find the sound already at its end.
    for (int round = 0; round < 2; ++round) {
        const double seconds = SecondsToPlay(player, tone);
        EXPECT_GE(seconds, 0.45) << "round " << round;
        EXPECT_LT(seconds, 5.0) << "round " << round;
        EXPECT_FALSE(player.IsOpen());
        EXPECT_EQ(player.LastError(), "");
    }

    // Played again while still open, it starts from the beginning.
    player.FileName = tone;
    player.Open();
    EXPECT_EQ(player.LengthMs(), 500);
    player.Play();
    const auto start = Clock::now();
    player.Play();
    EXPECT_GE(std::chrono::duration<double>(Clock::now() - start).count(), 0.45);
    player.Close();
}

TEST(SoundPlayer, FailuresCarryTheLibrariesTexts) {
    TPulseServer pulse;
    TTempDir dir;
    WriteFile(dir / "text.wav", "no sound in here\n");
    struct {
        const char* name;
        std::string path;
        const char* text;
    } const rows[] = {
        {"not a sound", dir / "text.wav", "Format not recognised."},
        {"missing", dir / "missing.wav", "System error : No such file or directory."},
        {"a folder", dir.path(), nullptr},
    };
    for (const auto& r : rows) {
        TSoundPlayer player;
        const std::string text = MessageOf<ESoundError>([&] { PlayNewMailSound(player, r.path); });
        if (r.text != nullptr) {
            EXPECT_EQ(text, r.text) << r.name;
        } else {
            EXPECT_FALSE(text.empty()) << r.name;
        }
        EXPECT_FALSE(player.IsOpen()) << r.name;
    }

    TSoundPlayer closed;
    EXPECT_EQ(MessageOf<ESoundError>([&] { closed.Play(); }), "No MCI device open");
}

TEST(SoundPlayer, NoSoundServer) {
    TTempDir dir;
    const std::string tone = dir / "tone.wav";
    WriteFile(tone, ToneWave(0.1));
    TScopedEnv server("PULSE_SERVER", "unix:" + dir / "nobody-listens");
    TSoundPlayer player;
    EXPECT_EQ(MessageOf<ESoundError>([&] { PlayNewMailSound(player, tone); }),
              "Connection refused");
    EXPECT_FALSE(player.IsOpen());
}

}  // namespace
}  // namespace kavrel
