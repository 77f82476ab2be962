#include "config/settings.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <vector>

#include "base/unique_fd.h"
#include "config/autostart.h"
#include "config/providers.h"
#include "config/u_globals.h"
#include "config/window_placement.h"
#include "tests/support/raises.h"
#include "tests/support/temp_dir.h"

namespace kavrel {
namespace {

using test::ReadFile;
using test::TScopedEnv;
using test::TTempDir;
using test::WriteFile;

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// How often path is opened while step runs, as the kernel tells it. Closes are watched too:
// the kernel merges repeated events that have not been read yet.
int OpensOf(const std::string& path, const std::function<void()>& step) {
    const TUniqueFd fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!fd.valid() || ::inotify_add_watch(fd.get(), path.c_str(), IN_OPEN | IN_CLOSE) < 0)
        return -1;
    step();
    int opens = 0;
    alignas(inotify_event) char events[4096];
    for (ssize_t n; (n = ::read(fd.get(), events, sizeof events)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(events + at);
            opens += (e->mask & IN_OPEN) != 0;
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
    return opens;
}

class SettingsTest : public testing::Test {
  protected:
    void SetUp() override {
        IniPath = dir_ / "kavrel.ini";
        ProgramFile = "/opt/kavrel/kavrel";
        Settings = PW_SETTINGS_TYPE{};
    }

    // Loads a settings file holding the given lines under their section headers.
    void Load(const std::string& content) {
        WriteFile(IniPath, content);
        Settings = PW_SETTINGS_TYPE{};
        LoadSettings();
    }

    TTempDir dir_;
    TTempDir config_;
    TScopedEnv xdg_{"XDG_CONFIG_HOME", config_.path()};
};

TEST_F(SettingsTest, MissingFileGivesDefaultsAndCreatesNothing) {
    Settings.Active[2] = true;
    Settings.CheckInterval = 77;
    LoadSettings();
    for (int n = 1; n <= kAccountCount; ++n) {
        EXPECT_FALSE(Settings.Active[n]);
        EXPECT_EQ(Settings.Server[n], "");
        EXPECT_EQ(Settings.Account[n], "");
        EXPECT_EQ(Settings.Password[n], "");
    }
    EXPECT_FALSE(Settings.StartWithWindows);
    EXPECT_FALSE(Settings.VisiblePassword);
    EXPECT_FALSE(Settings.LaunchOnNewMail);
    EXPECT_FALSE(Settings.ShowOnNewMail);
    EXPECT_TRUE(Settings.ConfirmDelete);
    EXPECT_EQ(Settings.CheckInterval, 5);
    EXPECT_EQ(Settings.MailProgram, "");
    EXPECT_EQ(Settings.NewMailWave, "");
    EXPECT_FALSE(std::filesystem::exists(IniPath));
}

TEST_F(SettingsTest, FlagReadings) {
    struct {
        const char* value;
        bool active;
    } const rows[] = {
        {"Y", true},          {"y", true},  {"yes", true}, {" \ty", true},
        {"Yes please", true}, {"N", false}, {"1", false},  {"true", false},
        {"x", false},         {"", false},  {"no", false}, {"'Y'", true},
    };
    for (const auto& r : rows) {
        Load(std::string("[accounts]\nactive3=") + r.value + "\n");
        EXPECT_EQ(Settings.Active[3], r.active) << "'" << r.value << "'";
    }
}

TEST_F(SettingsTest, EmptyConfirmDeleteMeansItsDefault) {
    Load("[general]\nconfirmdelete=\n");
    EXPECT_TRUE(Settings.ConfirmDelete);
    Load("[general]\nconfirmdelete=no\n");
    EXPECT_FALSE(Settings.ConfirmDelete);
}

TEST_F(SettingsTest, CheckIntervalValues) {
    struct {
        const char* value;
        int expected;
    } const rows[] = {
        {"120", 120},       {"1", 1},       {"0", 5},         {"-3", 5},
        {"121", 5},         {"ten", 5},     {"7 minutes", 5}, {"", 5},
        {"$0A", 10},        {"0x0A", 10},   {"  30", 30},     {"2147483648", 5},
        {"-2147483648", 5}, {"\"15\"", 15},
    };
    for (const auto& r : rows) {
        Load(std::string("[general]\ncheckinterval=") + r.value + "\n");
        EXPECT_EQ(Settings.CheckInterval, r.expected) << "'" << r.value << "'";
    }
}

TEST_F(SettingsTest, QuotesAndBlanksOnLoad) {
    Load(
        "[accounts]\n"
        "pw1=\"quoted pass\"\n"
        "pw2='single'\n"
        "server1=   pop.example.org   \n"
        "[general]\n"
        "mailprogram=\"/usr/bin/mail program\"\n");
    EXPECT_EQ(Settings.Password[1], "quoted pass");
    EXPECT_EQ(Settings.Password[2], "single");
    EXPECT_EQ(Settings.Server[1], "pop.example.org");
    EXPECT_EQ(Settings.MailProgram, "/usr/bin/mail program");

    struct {
        const char* value;
        const char* wave;
    } const waves[] = {
        {"\"/snd/new mail.wav", "/snd/new mail.wav"},
        {"/snd/new mail.wav\"", "/snd/new mail.wav"},
        {"\"", ""},
        {"/snd/a\"b.wav", "/snd/a\"b.wav"},
        {"\"\"/snd/x.wav\"\"", "/snd/x.wav"},
    };
    for (const auto& w : waves) {
        Load(std::string("[general]\nnewmailwave=") + w.value + "\n");
        EXPECT_EQ(Settings.NewMailWave, w.wave) << w.value;
    }
}

TEST_F(SettingsTest, LongValuesAreReadAsTheirFirst999Characters) {
    Load("[accounts]\nserver1=" + std::string(1500, 's') + "\n");
    EXPECT_EQ(Settings.Server[1], std::string(999, 's'));
    // A character is not split in two at the cut.
    Load("[accounts]\nserver1=" + std::string(998, 's') + "\xC3\xA9" + "tail\n");
    EXPECT_EQ(Settings.Server[1], std::string(998, 's'));
}

TEST_F(SettingsTest, HandEditedFileWithOddCaseAndComments) {
    Load(
        "; my settings\r\n"
        "\r\n"
        "[ACCOUNTS]\r\n"
        "SERVER2 = mail.example.net\r\n"
        "  Account2=ann\r\n"
        "Active2=yes\r\n"
        "\r\n"
        "[General]\r\n"
        "CheckInterval = 15\r\n"
        "; confirmdelete=N\r\n");
    EXPECT_EQ(Settings.Server[2], "mail.example.net");
    EXPECT_EQ(Settings.Account[2], "ann");
    EXPECT_TRUE(Settings.Active[2]);
    EXPECT_EQ(Settings.CheckInterval, 15);
    EXPECT_TRUE(Settings.ConfirmDelete);
}

TEST_F(SettingsTest, EveryKeyComesFromOneOpeningOfTheFile) {
    WriteFile(IniPath, "[accounts]\nserver1=pop.example.org\n");
    EXPECT_EQ(OpensOf(IniPath, [] { LoadSettings(); }), 1);
    EXPECT_EQ(Settings.Server[1], "pop.example.org");
}

TEST_F(SettingsTest, FileOverOneMebibyteIsNotReadAndASaveMovesItAside) {
    const std::string head = "[accounts]\nserver1=big.example\n[TfMain]\nNormPos=1,2,3,4\n";
    const std::string refused =
        "The settings file " + IniPath + " is larger than 1 MB and was not read.";
    struct {
        const char* name;
        std::size_t size;
        bool read;
    } const rows[] = {
        {"2 MiB", 2u << 20, false},
        {"one byte over", (1u << 20) + 1, false},
        {"exactly 1 MiB", 1u << 20, true},
    };
    for (const auto& r : rows) {
        WriteFile(IniPath, head + std::string(r.size - head.size() - 1, ';') + "\n");
        ::chmod(IniPath.c_str(), 0644);
        Settings.Server[1] = "old";
        EXPECT_EQ(LoadSettings(), r.read ? "" : refused) << r.name;
        EXPECT_EQ(Settings.Server[1], r.read ? "big.example" : "") << r.name;
        EXPECT_EQ(TPlacementSection(IniPath, "TfMain").Text("NormPos").has_value(), r.read)
            << r.name;

        SaveSettings();
        const std::string aside = IniPath + ".too-large";
        EXPECT_EQ(std::filesystem::exists(aside) ? std::filesystem::file_size(aside) : 0,
                  r.read ? 0 : r.size)
            << r.name;
        // A fresh file holds our keys only; a file that was read keeps its comment.
        EXPECT_EQ(std::filesystem::file_size(IniPath) > r.size, r.read) << r.name;
        if (!r.read) {
            EXPECT_EQ(LoadSettings(), "") << r.name << ": the fresh file";
            EXPECT_EQ(ModeOf(aside), 0600u) << r.name << ": unread, it may hold passwords";
        }
        std::filesystem::remove(aside);
    }
}

TEST_F(SettingsTest, FileCreatedFromNothingHasTheKeysInOrder) {
    Settings.Server[1] = "pop.example.org";
    Settings.Account[1] = "ann";
    Settings.Password[1] = "pw";
    Settings.Active[1] = true;
    Settings.CheckInterval = -4;  // the dialog may hand back anything
    Settings.NewMailWave = "\"/snd/new.wav\"";
    SaveSettings();
    EXPECT_EQ(Settings.NewMailWave, "/snd/new.wav");
    EXPECT_EQ(ReadFile(IniPath),
              "[accounts]\n"
              "server1=pop.example.org\naccount1=ann\npw1=pw\nactive1=Y\n"
              "server2=\naccount2=\npw2=\nactive2=N\n"
              "server3=\naccount3=\npw3=\nactive3=N\n"
              "server4=\naccount4=\npw4=\nactive4=N\n"
              "[general]\n"
              "startwithwindows=N\nvisiblepassword=N\nlaunchonnewmail=N\nshowonnewmail=N\n"
              "confirmdelete=Y\ncheckinterval=-4\nmailprogram=\nnewmailwave=/snd/new.wav\n");
    EXPECT_EQ(ModeOf(IniPath), 0600u) << "the file holds passwords";
}

TEST_F(SettingsTest, AFileWithPasswordsIsReadableByItsOwnerAlone) {
    enum class TStep { Load, SaveSettings, SavePlacement };
    struct {
        const char* name;
        const char* file;
        mode_t mode;
        TStep step;
        mode_t after;
    } const rows[] = {
        {"a load tightens a shared file", "[accounts]\npw1=secret\n", 0644, TStep::Load, 0600},
        {"a key the program never reads", "[x]\n[Accounts]\nPW12='s'\n", 0604, TStep::Load, 0600},
        {"empty passwords are none", "[accounts]\npw1=\npw2=''\n[general]\npw3=x\n", 0644,
         TStep::Load, 0644},
        {"a settings save with a password", "", 0644, TStep::SaveSettings, 0600},
        {"a placement save", "[accounts]\npw4=secret\n", 0644, TStep::SavePlacement, 0600},
        {"no password, the owner's mode", "[TfMain]\n", 0664, TStep::SavePlacement, 0664},
    };
    const std::string sentence =
        "The settings file " + IniPath +
        " held passwords others could read; it is now readable by you alone.";
    for (const auto& r : rows) {
        WriteFile(IniPath, r.file);
        ASSERT_EQ(::chmod(IniPath.c_str(), r.mode), 0);
        std::string said;
        if (r.step == TStep::Load) said = LoadSettings();
        if (r.step == TStep::SaveSettings) {
            Settings.Password[3] = "secret";
            SaveSettings();
        }
        if (r.step == TStep::SavePlacement) WritePlacement(IniPath, "TfMain", {}, "(800x600)");
        EXPECT_EQ(ModeOf(IniPath), r.after) << r.name;
        EXPECT_EQ(said, r.step == TStep::Load && r.after != r.mode ? sentence : "") << r.name;
        EXPECT_EQ(LoadSettings(), "") << r.name << ": told once";
    }
}

TEST_F(SettingsTest, AFailedSaveSaysWhyBeforeTheStartAtLoginEntry) {
    std::filesystem::create_directory(dir_ / "folder.ini");
    WriteFile(dir_ / "plain", "x");
    struct {
        const char* file;
        const char* reason;
    } const rows[] = {
        {"folder.ini", "it is a folder"},
        {"plain/kavrel.ini", "Not a directory"},
    };
    Settings.StartWithWindows = true;
    for (const auto& r : rows) {
        IniPath = dir_ / r.file;
        EXPECT_EQ(test::MessageOf<ESettingsSaveError>(SaveSettings),
                  "Unable to save the settings to " + IniPath + ": " + r.reason + ".");
    }
    EXPECT_FALSE(std::filesystem::exists(config_ / "autostart/kavrel.desktop"));
}

TEST_F(SettingsTest, TemporaryFilesOfCutSavesGoOnceStale) {
    struct {
        const char* file;
        int age;  // seconds since it was written
        bool removed;
    } const rows[] = {
        {".kavrel.ini.a1B2c3", 120, true},  {".kavrel.ini.d4E5f6", 5, false},  // a save going on
        {".other.ini.a1B2c3", 120, false},  {".kavrel.ini.a1-2c3", 120, false},
        {".kavrel.ini.g7H8i9", 120, false},  // someone else's
    };
    for (const auto& r : rows) {
        WriteFile(dir_ / r.file, "[accounts]\npw1=secret\n");
        const timespec when[2] = {{std::time(nullptr) - r.age, 0}, {std::time(nullptr) - r.age, 0}};
        ::utimensat(AT_FDCWD, (dir_ / r.file).c_str(), when, 0);
    }
    // Only root can give a file away.
    const std::size_t checked = ::chown((dir_ / rows[4].file).c_str(), 4242, 4242) == 0 ? 5 : 4;
    LoadSettings();
    for (std::size_t i = 0; i < checked; ++i)
        EXPECT_EQ(std::filesystem::exists(dir_ / rows[i].file), !rows[i].removed) << rows[i].file;
}

TEST_F(SettingsTest, SaveKeepsOtherSectionsAndRoundTrips) {
    WriteFile(IniPath, "[TfMain]\nFormVersion=0\n[general]\n; keep me\ncheckinterval=9\n");
    Settings.Server[4] = "pop4";
    Settings.Active[4] = true;
    Settings.Security[2] = TSecurity::None;
    Settings.Security[4] = TSecurity::WhenOffered;
    Settings.CheckInterval = 60;
    Settings.VisiblePassword = true;
    Settings.MailProgram = "/usr/bin/thunderbird";
    SaveSettings();
    const std::string text = ReadFile(IniPath);
    EXPECT_EQ(text.rfind("[TfMain]\nFormVersion=0\n[general]\n; keep me\ncheckinterval=60\n", 0),
              0u)
        << text;

    const PW_SETTINGS_TYPE saved = Settings;
    Settings = PW_SETTINGS_TYPE{};
    LoadSettings();
    EXPECT_EQ(Settings.Server[4], saved.Server[4]);
    EXPECT_TRUE(Settings.Active[4]);
    // A security never chosen stays unwritten: the server's text goes on deciding.
    EXPECT_EQ(text.find("security1"), std::string::npos);
    EXPECT_EQ(text.find("notify"), std::string::npos) << "on, as without the key";
    for (int n = 1; n <= kAccountCount; ++n) EXPECT_EQ(Settings.Security[n], saved.Security[n]);
    EXPECT_EQ(Settings.CheckInterval, 60);
    EXPECT_TRUE(Settings.VisiblePassword);
    EXPECT_EQ(Settings.MailProgram, saved.MailProgram);
}

// The sign-in keys appear only where they say something, and a later save can take them back.
TEST_F(SettingsTest, SignInProviderAndKeyringKeysAppearOnlyWhenSetAndCanBeUndone) {
    // Each save follows the one before, so the second row takes back what the first wrote.
    struct {
        bool on;
        std::vector<std::string> written;
        std::vector<std::string> absent;
    } const rows[] = {
        {true,
         {"pw1=\n", "signin2=oauth\n", "provider2=outlook\n", "keyringpasswords=Y\n", "notify=N\n"},
         {"signin1", "provider1"}},
        {false, {"pw1=pw\n"}, {}},
    };
    for (const auto& r : rows) {
        Settings.Password[1] = "pw";
        Settings.SignIn[2] = r.on ? TSignIn::OAuth : TSignIn::Password;
        Settings.Provider[2] = r.on ? "outlook" : "";
        Settings.PasswordsInKeyring = r.on;
        Settings.NotifyOnNewMail = !r.on;
        SaveSettings();
        const std::string text = ReadFile(IniPath);
        for (const std::string& line : r.written)
            EXPECT_NE(text.find(line), std::string::npos) << line << " in " << text;
        for (const std::string& key : r.absent)
            EXPECT_EQ(text.find(key), std::string::npos) << key << " in " << text;
        Settings = PW_SETTINGS_TYPE{};
        LoadSettings();
        EXPECT_EQ(Settings.SignIn[2], r.on ? TSignIn::OAuth : TSignIn::Password);
        EXPECT_EQ(Settings.Provider[2], r.on ? "outlook" : "");
        EXPECT_EQ(Settings.PasswordsInKeyring, r.on);
        EXPECT_EQ(Settings.NotifyOnNewMail, !r.on);
    }

    // A distributor's or a company's own OAuth client and endpoints override the built-in ones.
    WriteFile(IniPath, "[oauth-outlook]\nclientid= abc \ntoken=https://login.example.com/t\n");
    const TOAuthService outlook = OAuthServiceOf(*FindProvider("Outlook"));
    EXPECT_EQ(outlook.ClientId, "abc");
    EXPECT_EQ(outlook.TokenUrl, "https://login.example.com/t");
    EXPECT_NE(outlook.AuthorizeUrl.find("login.microsoftonline.com"), std::string::npos);
}

TEST_F(SettingsTest, StartAtLoginEntryFollowsTheFlag) {
    const std::string entry = config_ / "autostart/kavrel.desktop";
    Settings.StartWithWindows = false;
    EXPECT_NO_THROW(SaveSettings()) << "no entry to remove is no error";
    EXPECT_FALSE(std::filesystem::exists(entry));

    Settings.StartWithWindows = true;
    SaveSettings();
    ASSERT_TRUE(std::filesystem::exists(entry));
    EXPECT_EQ(ReadFile(entry), AutostartEntryText("/opt/kavrel/kavrel"));

    Settings.StartWithWindows = false;
    SaveSettings();
    EXPECT_FALSE(std::filesystem::exists(entry));
}

TEST_F(SettingsTest, FailedStartAtLoginWriteRaisesAfterTheFileIsSaved) {
    // A folder where the entry should be: it cannot be replaced.
    std::filesystem::create_directories(config_ / "autostart/kavrel.desktop");
    Settings.StartWithWindows = true;
    Settings.Server[1] = "saved.example.org";
    EXPECT_EQ(test::MessageOf<EStartupEntryError>(SaveSettings), "Failed to set data for 'kavrel'");
    Settings = PW_SETTINGS_TYPE{};
    LoadSettings();
    EXPECT_EQ(Settings.Server[1], "saved.example.org");
    EXPECT_TRUE(Settings.StartWithWindows);
}

TEST_F(SettingsTest, StartAtLoginFolderThatCannotBeMadeIsSkippedSilently) {
    WriteFile(config_ / "autostart", "a file where the folder should be");
    Settings.StartWithWindows = true;
    EXPECT_NO_THROW(SaveSettings());
    EXPECT_TRUE(std::filesystem::is_regular_file(IniPath));
}

}  // namespace
}  // namespace kavrel
