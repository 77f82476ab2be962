#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>

#include "config/u_globals.h"
#include "desktop/f_about.h"
#include "tests/support/http_file_server.h"
#include "tests/support/loopback_ports.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_authority.h"
#include "ui/f_main.h"
#include "ui/message_seam.h"
#include "update/update_hosts.h"

namespace kavrel {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

struct TBox {
    TMessageKind Kind;
    std::string Title;
    std::string Text;
    bool operator==(const TBox&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TBox& box) {
    return out << static_cast<int>(box.Kind) << " [" << box.Title << "] " << box.Text;
}

// What one run of the command did, as the user would have seen it.
struct TRun {
    std::vector<TBox> Boxes;
    std::vector<std::string> Started;
    bool Closed = false;
    // The progress widgets when the installer was started.
    std::string ProgressLabel;
    int ProgressValue = -1;
    int ProgressMax = -1;
    bool ProgressShown = false;
};

// The main window over a settings folder of its own, a real web server on loopback serving
// www/, and a current folder and a download folder of its own for the installer.
class UpdateCheckTest : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir_ / "www/files");
        fs::create_directories(dir_ / "cfg");
        fs::create_directories(dir_ / "work");
        fs::create_directories(dir_ / "dl");
        downloads_.emplace("XDG_DOWNLOAD_DIR", dir_ / "dl");
        oldCwd_ = fs::current_path();
        fs::current_path(dir_ / "work");
        server_.emplace(dir_ / "www");
    }
    void TearDown() override {
        fs::current_path(oldCwd_);
        while (QGuiApplication::overrideCursor() != nullptr)
            QGuiApplication::restoreOverrideCursor();
        LoadUpdateHosts("");
    }

    std::unique_ptr<TfMain> Open(const std::string& updateHost) {
        WriteFile(dir_ / "cfg/kavrel.ini",
                  "[general]\nupdatehost=" + updateHost + "\nwebhost=" + server_->Address() + "\n");
        return std::make_unique<TfMain>(QStringList{}, nullptr, [this] {
            AppPath = dir_ / "app/";
            IniPath = dir_ / "cfg/kavrel.ini";
            Settings = PW_SETTINGS_TYPE{};
            return LoadSettings();
        });
    }

    TRun Run(TfMain& w, bool answer) {
        TRun run;
        const TScopedMessageResponder responder([&](QWidget*, const TMessageRequest& r) {
            run.Boxes.push_back({r.Kind, r.Title.toStdString(), r.Text.toStdString()});
            return r.Kind == TMessageKind::Question ? answer : true;
        });
        w.InstallerStarter = [&](const std::string& path) {
            run.Started.push_back(path);
            run.ProgressLabel = w.labProgress->text().toStdString();
            run.ProgressValue = w.pbProgress->value();
            run.ProgressMax = w.pbProgress->maximum();
            run.ProgressShown = !w.pbProgress->isHidden() && !w.labProgress->isHidden();
        };
        w.ProgramCloser = [&] { run.Closed = true; };
        w.actUpdateExecute();
        return run;
    }

    // The log after its "Started" line.
    static std::string LogTail(const TfMain& w) {
        const std::string& log = w.LogText();
        return log.substr(std::min(log.find("\r\n"), log.size()));
    }

    std::string Address() const { return server_->Address(); }
    std::string UnableLines() const {
        return "\r\n... Unable to obtain version information\r\n... Please go to https://" +
               Address() + "/ to obtain the latest version.";
    }
    TBox UnableBox() const {
        return {TMessageKind::Information, "Kavrel v1.5",
                "Unable to obtain version information\r\nPlease go to https://" + Address() +
                    "/ to obtain the latest version."};
    }
    std::string Connecting() const {
        return "\r\nConnecting to " + Address() + " to obtain update information.";
    }
    std::string Downloaded(const std::string& name) const { return dir_ / ("dl/" + name); }

    test::TTempDir dir_;
    fs::path oldCwd_;
    std::optional<test::TScopedEnv> downloads_;
    std::optional<test::THTTPFileServer> server_;
};

const std::string kInstaller = "#!/bin/sh\necho installing\n" + std::string(70000, '#') + "\n";
const std::string kInstallerSha256 =
    "f696e48cf9d0e111ddcb8e164514f3489a41cacb24093ad9d81cde9bb440c14b";
const TBox kQuestion{TMessageKind::Question, "Kavrel v1.5",
                     "An update to Kavrel is available.\rYou are running Kavrel v1.5\rDo you "
                     "wish to update to Kavrel v1.51 dated 11/30/2003?"};

// A version file announcing version, with the installer in files/; changes replace or add keys,
// and an empty value leaves a key out.
std::string VersionFile(const std::string& version,
                        const std::vector<std::pair<std::string, std::string>>& changes = {}) {
    std::vector<std::pair<std::string, std::string>> keys = {
        {"version", version},          {"versionDescription", "Kavrel v1.51"},
        {"releaseDate", "11/30/2003"}, {"fileSize", std::to_string(kInstaller.size())},
        {"fileURL", "setup.exe"},      {"sha256", kInstallerSha256}};
    for (const auto& [key, value] : changes) {
        auto it =
            std::find_if(keys.begin(), keys.end(), [&](const auto& k) { return k.first == key; });
        if (it == keys.end())
            keys.emplace_back(key, value);
        else
            it->second = value;
    }
    std::string text = "[information]\n";
    for (const auto& [key, value] : keys) {
        if (!value.empty()) text += key + "=" + value + "\n";
    }
    return text;
}

TEST_F(UpdateCheckTest, Outcomes) {
    WriteFile(dir_ / "www/files/setup.exe", kInstaller);
    WriteFile(dir_ / "www/other.exe", kInstaller);
    const std::string latest = "Kavrel v1.5 is the latest version.";
    const std::string downloading = "\r\n... downloading update.";
    const std::string notFound = "\r\n... HTTP/1.0 404 File not found";
    const std::string upperSha256 =
        "F696E48CF9D0E111DDCB8E164514F3489A41CACB24093AD9D81CDE9BB440C14B";
    struct {
        const char* name;
        std::optional<std::string> versionFile;  // none: the server has no such file
        bool answer;
        std::string log;  // after the connecting line, up to the saving of the installer
        std::vector<TBox> boxes;
        std::string saved;  // the installer's name in the download folder, "" for none
        std::vector<std::string> present = {};  // in the download folder before; "x/" a folder
    } const rows[] = {
        {"newer, the user agrees",
         VersionFile("00151"),
         true,
         downloading,
         {kQuestion},
         "setup.exe"},
        {"newer, the user declines", VersionFile("00151"), false, "", {kQuestion}, ""},
        {"newer by a longer text", VersionFile("0016"), false, "", {kQuestion}, ""},
        {"the same version",
         VersionFile("00150"),
         true,
         "",
         {{TMessageKind::Information, "Kavrel v1.5", latest}},
         ""},
        {"an older version",
         VersionFile("00149"),
         true,
         "",
         {{TMessageKind::Information, "Kavrel v1.5", latest}},
         ""},
        {"a shorter text is older",
         VersionFile("0015"),
         true,
         "",
         {{TMessageKind::Information, "Kavrel v1.5", latest}},
         ""},
        {"no version file", std::nullopt, true, UnableLines() + notFound, {UnableBox()}, ""},
        {"no version key",
         "[information]\nversionDescription=x\n",
         true,
         UnableLines(),
         {UnableBox()},
         ""},
        {"no section", "[other]\nversion=00151\n", true, UnableLines(), {UnableBox()}, ""},
        {"a version file of a megabyte",
         VersionFile("00151") + std::string(1 << 20, ';'),
         true,
         UnableLines() + "\r\n... The version information is larger than 64 KB.",
         {UnableBox()},
         ""},
        {"installer not on the server",
         VersionFile("00151", {{"fileURL", "gone.exe"}}),
         true,
         downloading + UnableLines() + notFound,
         {kQuestion, UnableBox()},
         ""},
        {"installer name taken by a folder",
         VersionFile("00151", {{"fileName", "taken"}}),
         true,
         downloading,
         {kQuestion},
         "taken (1)",
         {"taken/"}},
        {"installer names taken by files",
         VersionFile("00151"),
         true,
         downloading,
         {kQuestion},
         "setup (2).exe",
         {"setup.exe", "setup (1).exe"}},
        {"the settings file's name",
         VersionFile("00151", {{"fileName", "kavrel.ini"}}),
         true,
         downloading,
         {kQuestion},
         "kavrel (1).ini",
         {"kavrel.ini"}},
        {"the program's name",
         VersionFile("00151", {{"fileName", "kavrel"}}),
         true,
         downloading,
         {kQuestion},
         "kavrel (1)"},
        {"a name that climbs out",
         VersionFile("00151", {{"fileName", "../escape.exe"}}),
         true,
         downloading,
         {kQuestion},
         "escape.exe"},
        {"an absolute name",
         VersionFile("00151", {{"fileName", dir_ / "abs.exe"}}),
         true,
         downloading,
         {kQuestion},
         "abs.exe"},
        {"a hidden name",
         VersionFile("00151", {{"fileName", ".profile"}}),
         true,
         downloading,
         {kQuestion},
         "setup.exe"},
        {"a full address of its own",
         VersionFile("00151",
                     {{"fileURL", "http://" + Address() + "/other.exe"}, {"fileName", "o.exe"}}),
         true,
         downloading,
         {kQuestion},
         "o.exe"},
        {"a size below 0",
         VersionFile("00151", {{"fileSize", "-5"}}),
         true,
         UnableLines() + "\r\n... Invalid size of the update: -5",
         {kQuestion, UnableBox()},
         ""},
        {"a checksum in capitals",
         VersionFile("00151", {{"sha256", upperSha256}}),
         true,
         downloading,
         {kQuestion},
         "setup.exe"},
        {"an installer that does not match its checksum",
         VersionFile("00151", {{"sha256", std::string(64, '0')}}),
         true,
         downloading + UnableLines() +
             "\r\n... The downloaded update does not match the SHA-256 checksum in the version "
             "information, so it was not saved.",
         {kQuestion, UnableBox()},
         ""},
        {"a checksum that is no hexadecimal number",
         VersionFile("00151", {{"sha256", std::string(64, 'g')}}),
         true,
         UnableLines() +
             "\r\n... The SHA-256 checksum in the version information is not 64 hexadecimal "
             "digits.",
         {UnableBox()},
         ""},
        {"plain HTTP without a checksum",
         VersionFile("00151", {{"sha256", ""}}),
         true,
         UnableLines() +
             "\r\n... The version information came over plain HTTP without a SHA-256 checksum "
             "of the update, so the update was refused.",
         {UnableBox()},
         ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        fs::remove(dir_ / "www/files/kavrel.version");
        fs::remove(dir_ / "cfg/kavrel.version");
        if (r.versionFile) WriteFile(dir_ / "www/files/kavrel.version", *r.versionFile);
        fs::remove_all(dir_ / "dl");
        fs::create_directory(dir_ / "dl");
        std::set<std::string> expected;
        for (const std::string& name : r.present) {
            if (name.ends_with('/'))
                fs::create_directory(Downloaded(name));
            else
                WriteFile(Downloaded(name), "mine");
            expected.insert(name.ends_with('/') ? name.substr(0, name.size() - 1) : name);
        }
        const std::size_t requests = server_->Requests().size();
        const auto w = Open(Address());
        const TRun run = Run(*w, r.answer);

        const bool installed = !r.saved.empty();
        EXPECT_EQ(LogTail(*w),
                  Connecting() + r.log +
                      (installed ? "\r\n... update saved as " + Downloaded(r.saved) : ""));
        EXPECT_EQ(run.Boxes, r.boxes);
        EXPECT_EQ(run.Started, installed ? std::vector<std::string>{Downloaded(r.saved)}
                                         : std::vector<std::string>{});
        EXPECT_EQ(run.Closed, installed);
        // A refusal before the download asks the server for nothing but the version file.
        EXPECT_EQ(server_->Requests().size() - requests, r.log.starts_with(downloading) ? 2u : 1u);
        if (installed) {
            EXPECT_EQ(ReadFile(Downloaded(r.saved)), kInstaller);
            expected.insert(r.saved);
            // The program ends as it is: busy and with the hourglass.
            EXPECT_TRUE(w->Busy);
            EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
            while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
        } else {
            EXPECT_FALSE(w->Busy);
            EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
            EXPECT_TRUE(w->pbProgress->isHidden());
            EXPECT_TRUE(w->labProgress->isHidden());
            EXPECT_TRUE(w->labProgress->text().isEmpty());
            EXPECT_FALSE(w->http1.IsConnected());
        }
        // Nothing replaced, nothing left behind, nothing outside the download folder.
        std::set<std::string> found;
        for (const auto& e : fs::directory_iterator(dir_ / "dl"))
            found.insert(e.path().filename().string());
        EXPECT_EQ(found, expected);
        for (const std::string& name : r.present) {
            if (!name.ends_with('/')) {
                EXPECT_EQ(ReadFile(Downloaded(name)), "mine");
            }
        }
        EXPECT_TRUE(fs::is_empty(dir_ / "work"));
        EXPECT_FALSE(fs::exists(dir_ / "escape.exe"));
        EXPECT_EQ(ReadFile(dir_ / "abs.exe"), "");
        // The version file is kept beside the settings, unless it was too large to be one.
        const bool refused = r.versionFile && r.versionFile->size() > 64 * 1024;
        if (!r.versionFile) {
            EXPECT_FALSE(fs::exists(dir_ / "cfg/kavrel.version"));
        } else if (!refused) {
            EXPECT_EQ(ReadFile(dir_ / "cfg/kavrel.version"), *r.versionFile);
        }
    }
}

TEST_F(UpdateCheckTest, DownloadShowsItsProgressAndAsksForWhatTheFileNames) {
    WriteFile(dir_ / "www/files/setup.exe", kInstaller);
    WriteFile(dir_ / "www/files/kavrel.version", VersionFile("00151"));
    const auto w = Open(Address());
    const TRun run = Run(*w, true);
    ASSERT_EQ(run.Started.size(), 1u);
    const int size = static_cast<int>(kInstaller.size());
    EXPECT_EQ(run.ProgressLabel,
              "Downloading update. Downloaded " + std::to_string(size) + " bytes");
    EXPECT_EQ(run.ProgressMax, size);
    EXPECT_EQ(run.ProgressValue, size);
    EXPECT_TRUE(run.ProgressShown);
    EXPECT_EQ(server_->Requests(),
              (std::vector<std::string>{"/files/kavrel.version", "/files/setup.exe"}));
}

TEST_F(UpdateCheckTest, SizesThatCannotBeReadGiveTheUsualMaximum) {
    WriteFile(dir_ / "www/files/setup.exe", kInstaller);
    for (const std::string size : {"abc", ""}) {
        WriteFile(dir_ / "www/files/kavrel.version", VersionFile("00151", {{"fileSize", size}}));
        const auto w = Open(Address());
        const TRun run = Run(*w, true);
        EXPECT_EQ(run.ProgressMax, 1000000) << size;
        // Past a bar's end the bar is simply full.
        EXPECT_EQ(run.ProgressValue, static_cast<int>(kInstaller.size())) << size;
    }
}

TEST_F(UpdateCheckTest, OverHttps) {
    test::TTestAuthority authority;
    const auto pair = authority.IssueForLoopback();
    test::THTTPFileServer secure(dir_ / "www", {pair.cert, pair.key});
    const std::string origin = "localhost:" + std::to_string(secure.Port());
    WriteFile(dir_ / "www/files/setup.exe", kInstaller);
    // After a version file over TLS, neither plain addresses nor a missing checksum lower the
    // installer to plain HTTP.
    WriteFile(dir_ / "www/files/kavrel.version",
              VersionFile("00151", {{"fileServer", "http://" + origin},
                                    {"fileURL", "http://" + origin + "/files/setup.exe"},
                                    {"sha256", ""}}));
    {
        const auto w = Open("https://" + origin);
        const TRun run = Run(*w, true);
        EXPECT_EQ(LogTail(*w), Connecting() +
                                   "\r\n... downloading update.\r\n... update saved as " +
                                   Downloaded("setup.exe"));
        EXPECT_EQ(run.Started, std::vector<std::string>{Downloaded("setup.exe")});
        EXPECT_EQ(ReadFile(Downloaded("setup.exe")), kInstaller);
        EXPECT_EQ(secure.Requests(),
                  (std::vector<std::string>{"/files/kavrel.version", "/files/setup.exe"}));
        while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
    }
    // A server whose certificate nobody vouches for is not asked for anything.
    const auto stranger = authority.Issue("IP:127.0.0.1,DNS:localhost", 2, true);
    test::THTTPFileServer unknown(dir_ / "www", {stranger.cert, stranger.key});
    const auto w = Open("https://localhost:" + std::to_string(unknown.Port()));
    const TRun run = Run(*w, true);
    EXPECT_EQ(LogTail(*w), Connecting() + UnableLines() +
                               "\r\n... TLS: certificate verify failed: self-signed certificate");
    EXPECT_EQ(run.Boxes, std::vector<TBox>{UnableBox()});
    EXPECT_TRUE(run.Started.empty());
    EXPECT_TRUE(unknown.Requests().empty());
    EXPECT_FALSE(w->Busy);
}

TEST_F(UpdateCheckTest, UnreachableHost) {
    const test::TRefusingPort refusing;
    const auto w = Open("127.0.0.1:" + std::to_string(refusing.Port()));
    const TRun run = Run(*w, true);
    EXPECT_EQ(LogTail(*w), "\r\nConnecting to " + Address() + " to obtain update information." +
                               UnableLines() +
                               "\r\n... Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(run.Boxes, std::vector<TBox>{UnableBox()});
    EXPECT_FALSE(w->Busy);
}

TEST_F(UpdateCheckTest, SilentServerLeavesTheWindowAnsweringUntilTheReadTimeOut) {
    // The kernel completes the connect, and nobody ever answers the request.
    int port = 0;
    const TUniqueFd listener = test::BoundLoopbackSocket(port, 8);
    const auto w = Open("127.0.0.1:" + std::to_string(port));
    w->http1.ReadTimeout = 1500;
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(100);
    const TRun run = Run(*w, true);
    EXPECT_GE(ticks, 5);
    EXPECT_EQ(LogTail(*w), Connecting() + UnableLines() + "\r\n... Read Timeout");
    EXPECT_EQ(run.Boxes, std::vector<TBox>{UnableBox()});
    EXPECT_FALSE(w->Busy);
}

TEST_F(UpdateCheckTest, NothingStartsWhileBusy) {
    WriteFile(dir_ / "www/files/kavrel.version", VersionFile("00151"));
    const auto w = Open(Address());
    w->Busy = true;
    EXPECT_TRUE(Run(*w, true).Boxes.empty());
    EXPECT_EQ(LogTail(*w), "");
    w->Busy = false;
    // A second command that arrives while the first one runs the event loop does nothing.
    int nested = 0;
    QTimer::singleShot(0, w.get(), [&] {
        ++nested;
        w->actUpdateExecute();
    });
    const TRun run = Run(*w, false);
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(run.Boxes, std::vector<TBox>{kQuestion});
    EXPECT_EQ(LogTail(*w), Connecting());
}

TEST_F(UpdateCheckTest, AboutBoxNamesTheConfiguredSite) {
    const auto w = Open(Address());
    TfAbout box(w.get());
    std::vector<std::string> opened;
    box.Opener = [&](const std::string& target) { opened.push_back(target); };
    EXPECT_EQ(box.labURL->text().toStdString(), "https://" + Address() + "/");
    box.show();
    QTest::mouseClick(box.labURL, Qt::LeftButton);
    EXPECT_EQ(opened, std::vector<std::string>{"https://" + Address() + "/"});
}

}  // namespace
}  // namespace kavrel
