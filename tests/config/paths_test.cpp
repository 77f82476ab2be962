#include "config/paths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "config/u_globals.h"
#include "tests/support/temp_dir.h"

namespace kavrel {
namespace {

using test::TScopedEnv;
using test::TTempDir;
using test::WriteFile;

TEST(Paths, UserConfigHome) {
    {
        TScopedEnv xdg("XDG_CONFIG_HOME", "/xdg/conf");
        TScopedEnv home("HOME", "/home/ann");
        EXPECT_EQ(UserConfigHome(), "/xdg/conf");
    }
    {
        TScopedEnv xdg("XDG_CONFIG_HOME", "relative/is/ignored");
        TScopedEnv home("HOME", "/home/ann/");
        EXPECT_EQ(UserConfigHome(), "/home/ann/.config");
    }
    {
        TScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
        TScopedEnv home("HOME", "/home/bob");
        EXPECT_EQ(UserConfigHome(), "/home/bob/.config");
    }
}

TEST(Paths, SettingsFileFolderRule) {
    TTempDir conf;
    TScopedEnv xdg("XDG_CONFIG_HOME", conf.path());
    const std::string fallback = conf.path() + "/kavrel/kavrel.ini";

    TTempDir unpacked;  // a writable folder: the copy keeps its settings beside itself
    EXPECT_EQ(ChooseIniPath(unpacked.path() + "/"), unpacked.path() + "/kavrel.ini");

    // A folder we cannot write to, like /usr/bin for an installed copy.
    EXPECT_EQ(ChooseIniPath("/nonexistent/kavrel/bin/"), fallback);
    EXPECT_EQ(ChooseIniPath(""), fallback);
    EXPECT_FALSE(std::filesystem::exists(conf.path() + "/kavrel")) << "created at the first save";
}

// The folder an installed copy runs from may be writable (~/.local/bin, on the PATH), so it
// keeps its settings in the user's folder; any other copy keeps them beside itself.
TEST(Paths, InstalledCopyKeepsSettingsInTheUserFolder) {
    enum class TWhere { Beside, XdgConfig, HomeConfig };
    struct {
        const char* name;
        bool installed;
        bool iniBeside;
        bool xdgSet;
        TWhere expected;
    } const rows[] = {
        {"installed", true, false, true, TWhere::XdgConfig},
        {"installed, no XDG_CONFIG_HOME", true, false, false, TWhere::HomeConfig},
        {"installed, existing file stays", true, true, true, TWhere::Beside},
        {"installed, existing file stays, no XDG", true, true, false, TWhere::Beside},
        {"portable", false, false, true, TWhere::Beside},
        {"portable, no XDG_CONFIG_HOME", false, false, false, TWhere::Beside},
        {"portable, existing file", false, true, true, TWhere::Beside},
        {"portable, existing file, no XDG", false, true, false, TWhere::Beside},
    };
    for (const auto& r : rows) {
        TTempDir root;
        std::filesystem::create_directories(root / "prefix/bin");
        std::filesystem::create_directories(root / "build/app");
        // The configured prefix may reach the program's folder through a link.
        std::filesystem::create_directory_symlink(root / "prefix", root / "linked");
        const std::string appDir = root / (r.installed ? "prefix/bin/" : "build/app/");
        if (r.iniBeside) WriteFile(appDir + "kavrel.ini", "[general]\n");
        TScopedEnv xdg("XDG_CONFIG_HOME",
                       r.xdgSet ? std::optional<std::string>(root / "xdg") : std::nullopt);
        TScopedEnv home("HOME", root / "home");
        const std::string folder = r.expected == TWhere::Beside ? appDir
                                   : r.expected == TWhere::XdgConfig
                                       ? root / "xdg/kavrel/"
                                       : root / "home/.config/kavrel/";
        EXPECT_EQ(ChooseIniPath(appDir, root / "linked/bin"), folder + "kavrel.ini") << r.name;
    }
}

// Runs check in a child process that cannot write to the folder (root drops to nobody,
// anyone else gets the folder's write bits taken away) and returns the path it chose.
std::string ChooseAsReader(const std::string& appDir) {
    ::chmod(appDir.c_str(), 0555);
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) _exit(1);
        const std::string chosen = ChooseIniPath(appDir + "/");
        _exit(::write(pipeFds[1], chosen.data(), chosen.size()) < 0 ? 1 : 0);
    }
    ::close(pipeFds[1]);
    std::string out;
    char buf[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;) out.append(buf, n);
    ::close(pipeFds[0]);
    ::waitpid(child, nullptr, 0);
    ::chmod(appDir.c_str(), 0755);
    return out;
}

TEST(Paths, ReadOnlyProgramFolder) {
    TTempDir conf;
    TScopedEnv xdg("XDG_CONFIG_HOME", conf.path());
    TTempDir app;
    ::chmod(app.path().c_str(), 0755);  // others may look inside
    EXPECT_EQ(ChooseAsReader(app.path()), conf.path() + "/kavrel/kavrel.ini");
    WriteFile(app / "kavrel.ini", "[general]\n");
    ::chmod((app / "kavrel.ini").c_str(), 0644);
    EXPECT_EQ(ChooseAsReader(app.path()), app / "kavrel.ini") << "a file already there wins";
}

TEST(Paths, ProgramFileAndItsFolder) {
    const std::string exe = ProgramFilePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(exe));
    EXPECT_EQ(DirectoryOf(exe) + std::filesystem::path(exe).filename().string(), exe);
    EXPECT_EQ(DirectoryOf("/usr/bin/kavrel"), "/usr/bin/");
    EXPECT_EQ(DirectoryOf("kavrel"), "");
}

TEST(Paths, InitGlobalsSetsThePaths) {
    TTempDir conf;
    TScopedEnv xdg("XDG_CONFIG_HOME", conf.path());
    InitGlobals();
    EXPECT_EQ(AppPath, DirectoryOf(ProgramFilePath()));
    EXPECT_EQ(AppPath.back(), '/');
    EXPECT_EQ(IniPath, ChooseIniPath(AppPath));
    EXPECT_EQ(SettingsFolder(), DirectoryOf(IniPath));
}

}  // namespace
}  // namespace kavrel
