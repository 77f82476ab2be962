#include "update/update_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <utility>

#include "tests/support/raises.h"
#include "tests/support/temp_dir.h"
#include "update/installer_file.h"
#include "update/update_hosts.h"

namespace kavrel {
namespace {

TEST(UpdateCheck, VersionComparison) {
    struct {
        const char* announced;
        bool newer;
    } const rows[] = {{"00151", true},  {"0016", true},   {"1", true},     {"v2", true},
                      {"00150", false}, {"00149", false}, {"0015", false}, {"", false}};
    for (const auto& r : rows) EXPECT_EQ(IsNewerVersion(r.announced), r.newer) << r.announced;
}

TEST(UpdateCheck, InstallerFileNameStaysInTheFolder) {
    struct {
        const char* name;
        const char* fileName;
        const char* saved;
    } const rows[] = {
        {"plain", "kavrel-setup.exe", "kavrel-setup.exe"},
        {"up and out", "../../evil.exe", "evil.exe"},
        {"absolute", "/usr/bin/kavrel", "kavrel"},
        {"sub folder", "sub/dir/name.exe", "name.exe"},
        {"folders of another system", "C:\\Downloads\\setup2.exe", "setup2.exe"},
        {"a folder only", "files/", "setup.exe"},
        {"empty", "", "setup.exe"},
        {"dot", ".", "setup.exe"},
        {"dot dot", "..", "setup.exe"},
        {"hidden name", ".profile", "setup.exe"},
        {"hidden name below a folder", "x/.bashrc", "setup.exe"},
    };
    for (const auto& r : rows) EXPECT_EQ(InstallerFileName(r.fileName), r.saved) << r.name;
}

TEST(UpdateCheck, TargetHostAndPort) {
    struct {
        const char* server;
        const char* host;
        int port;
        const char* protocol = "http";
        bool tlsOnly = false;
    } const rows[] = {
        {"updates.example.net", "updates.example.net", 80},
        {"updates.example.net:8080", "updates.example.net", 8080},
        {"127.0.0.1:81", "127.0.0.1", 81},
        {"odd:name", "odd:name", 80},
        {"trailing:", "trailing:", 80},
        {"updates.example.net:995", "updates.example.net", 995},  // no mail rule here
        {"http://updates.example.net", "updates.example.net", 80},
        {"https://updates.example.net", "updates.example.net", 443, "https"},
        {"HTTPS://updates.example.net:8443", "updates.example.net", 8443, "https"},
        {"pop3s://updates.example.net", "pop3s://updates.example.net", 80},
        {"updates.example.net", "updates.example.net", 443, "https", true},
        {"http://updates.example.net:8080", "updates.example.net", 8080, "https", true},
    };
    for (const auto& r : rows) {
        THTTPClient client;
        client.SetPort(1234);
        SetHTTPTarget(client, r.server, r.tlsOnly);
        EXPECT_EQ(client.GetHost(), r.host) << r.server;
        EXPECT_EQ(client.GetPort(), r.port) << r.server;
        EXPECT_EQ(client.TargetUri.Port, std::to_string(r.port)) << r.server;
        EXPECT_EQ(client.TargetUri.Protocol, r.protocol) << r.server;
        EXPECT_EQ(client.UseTLS, std::string(r.protocol) == "https") << r.server;
    }
}

TEST(UpdateCheck, HostsFromTheSettingsFile) {
    test::TTempDir dir;
    test::WriteFile(dir / "kavrel.ini", "[general]\nupdatehost=u.example.net:81\n");
    LoadUpdateHosts(dir / "kavrel.ini");
    EXPECT_EQ(UpdateHosts().UpdateHost, "u.example.net:81");
    EXPECT_EQ(UpdateHosts().WebHost, kDefaultWebHost);
    test::WriteFile(dir / "kavrel.ini", "[General]\nWebHost=www.example.net\n");
    LoadUpdateHosts(dir / "kavrel.ini");
    EXPECT_EQ(UpdateHosts().UpdateHost, kDefaultUpdateHost);
    EXPECT_EQ(WebAddress(), "https://www.example.net/");
    LoadUpdateHosts(dir / "missing.ini");
    EXPECT_EQ(WebAddress(), "https://kavrel.example.org/");
    EXPECT_EQ(test::ReadFile(dir / "kavrel.ini"), "[General]\nWebHost=www.example.net\n");
    // A file too large to be a settings file is not read at all.
    test::WriteFile(dir / "big.ini",
                    "[general]\nwebhost=big.example\n" + std::string(2 << 20, ';'));
    LoadUpdateHosts(dir / "big.ini");
    EXPECT_EQ(WebAddress(), "https://kavrel.example.org/");
}

TEST(UpdateCheck, DownloadFolder) {
    test::TTempDir dir;
    for (const char* sub : {"home/Downloads", "home/.config", "home/Named", "env"})
        std::filesystem::create_directories(dir / sub);
    const std::string home = dir / "home";
    struct {
        const char* name;
        std::optional<std::string> env;
        std::string userDirs;
        std::string folder;
    } const rows[] = {
        {"the variable", dir / "env/", "XDG_DOWNLOAD_DIR=\"$HOME/Named\"", dir / "env"},
        {"a variable naming no folder", dir / "gone", "XDG_DOWNLOAD_DIR=\"$HOME/Named\"",
         home + "/Named"},
        {"a relative variable", "env", "", home + "/Downloads"},
        {"an absolute entry, the last one winning", std::nullopt,
         "# x\nXDG_DOWNLOAD_DIR=\"/nowhere\"\n  XDG_DOWNLOAD_DIR=\"" + dir / "env" + "\"\n",
         dir / "env"},
    };
    const test::TScopedEnv homeEnv("HOME", home);
    const test::TScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
    for (const auto& r : rows) {
        const test::TScopedEnv env("XDG_DOWNLOAD_DIR", r.env);
        test::WriteFile(home + "/.config/user-dirs.dirs", r.userDirs);
        EXPECT_EQ(DownloadFolder(), r.folder) << r.name;
    }
    const test::TScopedEnv unset("XDG_DOWNLOAD_DIR", std::nullopt);
    test::WriteFile(home + "/.config/user-dirs.dirs", "");
    std::filesystem::remove(home + "/Downloads");
    EXPECT_EQ(DownloadFolder(), std::filesystem::current_path().string());
}

class InstallerFile : public testing::Test {
  protected:
    std::size_t Entries() const {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_.path())) ++n;
        return n;
    }

    test::TTempDir dir_;
};

// What the rows through the window do not reach: a name in capitals, and a link to nowhere,
// which a test for existence would take for a free name.
TEST_F(InstallerFile, CompleteDownloadTakesAFreeName) {
    std::filesystem::create_symlink(dir_ / "nowhere", dir_ / "setup.exe");
    for (const auto& [name, saved] :
         {std::pair{"setup.exe", "setup (1).exe"}, std::pair{"KAVREL", "KAVREL (1)"}}) {
        TInstallerFile file(dir_.path(), name);
        file.Stream().Write("new installer", 13);
        file.Commit();
        EXPECT_EQ(file.Path(), dir_ / saved);
        EXPECT_EQ(test::ReadFile(file.Path()), "new installer");
        struct stat st {};
        ASSERT_EQ(::stat(file.Path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0644u);
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "setup.exe"));
    EXPECT_EQ(Entries(), 3u);
}

TEST_F(InstallerFile, BrokenDownloadLeavesNothing) {
    test::WriteFile(dir_ / "setup.exe", "old");
    {
        TInstallerFile file(dir_.path(), "setup.exe");
        file.Stream().Write("half", 4);
    }
    EXPECT_EQ(test::ReadFile(dir_ / "setup.exe"), "old");
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(InstallerFile, MissingFolderIsASaveFailure) {
    EXPECT_EQ(test::MessageOf<EUpdateError>([&] { TInstallerFile file(dir_ / "gone", "x"); }),
              "Unable to save the update as " + dir_ / "gone/x");
}

}  // namespace
}  // namespace kavrel
