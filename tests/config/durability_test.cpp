// A save cut short by a kill or a full disk must leave a settings file that holds the old
// values or the new ones, whole.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <random>
#include <thread>

#include "config/ini_file.h"
#include "config/settings.h"
#include "config/u_globals.h"
#include "config/window_placement.h"
#include "tests/config/save_variants.h"
#include "tests/support/raises.h"
#include "tests/support/temp_dir.h"

namespace kavrel {
namespace {

using namespace kavrel::test;

// Which variant the file holds, or -1 for a mixture or a value of neither.
int SettingsHeld(const std::string& ini) {
    IniPath = ini;
    Settings = PW_SETTINGS_TYPE{};
    LoadSettings();
    for (int variant : {0, 1}) {
        const PW_SETTINGS_TYPE want = SettingsVariant(variant);
        bool same = Settings.CheckInterval == want.CheckInterval &&
                    Settings.MailProgram == want.MailProgram &&
                    Settings.NewMailWave == want.NewMailWave &&
                    Settings.ConfirmDelete == want.ConfirmDelete &&
                    Settings.ShowOnNewMail == want.ShowOnNewMail;
        for (int n = 1; n <= kAccountCount; ++n) {
            same = same && Settings.Server[n] == want.Server[n] &&
                   Settings.Account[n] == want.Account[n] &&
                   Settings.Password[n] == want.Password[n] && Settings.Active[n] == want.Active[n];
        }
        if (same) return variant;
    }
    return -1;
}

int PlacementHeld(const std::string& ini) {
    const TPlacementSection section(ini, "TfMain");
    for (int variant : {0, 1}) {
        const TPlacementRecord want = PlacementVariant(variant);
        const std::string pos =
            std::to_string(want.NormPos.Left) + "," + std::to_string(want.NormPos.Top) + "," +
            std::to_string(want.NormPos.Right) + "," + std::to_string(want.NormPos.Bottom);
        if (section.Text("NormPos") == pos && section.Text("NormPos(1024x768)") == pos &&
            section.Integer("ShowCmd", -1) == want.ShowCmd) {
            return variant;
        }
    }
    return -1;
}

pid_t StartProbe(const std::string& ini, bool once) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(KAVREL_SAVE_PROBE, KAVREL_SAVE_PROBE, ini.c_str(), once ? "once" : nullptr,
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

TEST(Durability, KilledInTheMiddleOfSavesTheFileHoldsOldOrNew) {
    TTempDir dir;
    TScopedEnv config("XDG_CONFIG_HOME", dir / "config");
    const std::string ini = dir / "kavrel.ini";
    int status = 0;
    const auto start = std::chrono::steady_clock::now();
    ::waitpid(StartProbe(ini, true), &status, 0);
    ASSERT_EQ(SettingsHeld(ini), 0);
    ASSERT_EQ(PlacementHeld(ini), 0);
    // Kills spread over the time of a few saves, however fast this build starts the probe.
    const auto once = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();

    std::mt19937 random(20261209);
    std::uniform_int_distribution<long long> pause(0, 4 * once);  // microseconds
    int seen[2] = {0, 0};
    for (int round = 0; round < 300; ++round) {
        const pid_t pid = StartProbe(ini, false);
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        const int held = SettingsHeld(ini);
        ASSERT_NE(held, -1) << "round " << round << ":\n" << ReadFile(ini);
        ASSERT_NE(PlacementHeld(ini), -1) << "round " << round << ":\n" << ReadFile(ini);
        ++seen[held];
    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0) << "the kills should land at different moments";

    // Once they are older than any save in progress, the next start removes what the kills left.
    const timespec old{std::time(nullptr) - 120, 0};
    const timespec times[2] = {old, old};
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ::utimensat(AT_FDCWD, entry.path().c_str(), times, 0);
    LoadSettings();
    int left = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        left += entry.path().filename().string().rfind(".kavrel.ini.", 0) == 0;
    EXPECT_EQ(left, 0);
}

// In a mount namespace of its own (as root, or through a user namespace), a 64 KiB tmpfs is
// filled up; the save that needs room then must fail and leave the old file as it was.
TEST(Durability, AFullDiskLeavesTheOldFileWhole) {
    TTempDir dir;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int flags = ::geteuid() == 0 ? CLONE_NEWNS : CLONE_NEWUSER | CLONE_NEWNS;
        if (::unshare(flags) != 0) ::_exit(10);
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
        if (::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k") != 0) ::_exit(11);
        ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        const std::string ini = dir / "kavrel.ini";
        IniPath = ini;
        Settings = SettingsVariant(0);
        SaveSettings();
        const std::string before = ReadFile(ini);
        if (SettingsHeld(ini) != 0) ::_exit(12);
        {
            std::ofstream filler(dir / "filler", std::ios::binary);
            const std::string block(4096, 'x');
            while (filler.write(block.data(), block.size())) {
            }
        }
        Settings = SettingsVariant(1);
        IniPath = ini;
        if (MessageOf<ESettingsSaveError>(SaveSettings) !=
            "Unable to save the settings to " + ini + ": No space left on device.")
            ::_exit(15);
        if (ReadFile(ini) != before) ::_exit(13);
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename();
            if (name != "kavrel.ini" && name != "filler" && name != "config") ::_exit(14);
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    const int code = WEXITSTATUS(status);
    ASSERT_NE(code, 10) << "no mount namespace could be made here";
    ASSERT_NE(code, 11) << "no tmpfs could be mounted";
    EXPECT_NE(code, 12) << "the first save did not hold";
    EXPECT_NE(code, 13) << "the failed save changed the file";
    EXPECT_NE(code, 14) << "the failed save left a temporary file";
    EXPECT_NE(code, 15) << "the failed save did not say why";
    EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace kavrel
