#include "update/update_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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
    };
    for (const auto& r : rows) {
        THTTPClient client;
        client.SetPort(1234);
        SetHTTPTarget(client, r.server);
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

// The installer files are made in the current folder, so each case runs in a folder of its own.
class InstallerFile : public testing::Test {
  protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
    }
    void TearDown() override { std::filesystem::current_path(old_); }
    static std::size_t Entries() {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(".")) ++n;
        return n;
    }

    test::TTempDir dir_;
    std::filesystem::path old_;
};

TEST_F(InstallerFile, CompleteDownloadReplacesTheOldFile) {
    test::WriteFile("setup.exe", "old");
    {
        TInstallerFile file("setup.exe");
        file.Stream().Write("new installer", 13);
        EXPECT_EQ(test::ReadFile("setup.exe"), "old") << "replaced before it was whole";
        file.Commit();
    }
    EXPECT_EQ(test::ReadFile("setup.exe"), "new installer");
    struct stat st {};
    ASSERT_EQ(::stat("setup.exe", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(InstallerFile, BrokenDownloadLeavesNothing) {
    test::WriteFile("setup.exe", "old");
    {
        TInstallerFile file("setup.exe");
        file.Stream().Write("half", 4);
    }
    EXPECT_EQ(test::ReadFile("setup.exe"), "old");
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(InstallerFile, NameTakenByAFolderIsASaveFailure) {
    std::filesystem::create_directory("taken");
    TInstallerFile file("taken");
    EXPECT_EQ(test::MessageOf<EUpdateError>([&] { file.Commit(); }),
              "Unable to save the update as taken");
}

}  // namespace
}  // namespace kavrel
