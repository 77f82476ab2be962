#include "update/update_check.h"

#include <exception>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

#include "base/integer.h"
#include "base/strings.h"
#include "config/durable_file.h"
#include "config/u_globals.h"
#include "config/utils.h"
#include "core/program_title.h"
#include "net/pop3/server_address.h"
#include "update/installer_file.h"
#include "update/update_hosts.h"

namespace kavrel {
namespace {

constexpr int kConnectTimeout = 10000;
// A version file is a few hundred bytes: more is no version file, and must not fill memory.
constexpr std::size_t kMaxVersionFile = 64 * 1024;

class TVersionFileStream : public TMemoryStream {
  public:
    void Write(const char* bytes, std::size_t count) override {
        if (Data.size() + count > kMaxVersionFile) {
            throw EUpdateError("The version information is larger than 64 KB.");
        }
        TMemoryStream::Write(bytes, count);
    }
};
constexpr char kVersionFileName[] = "kavrel.version";
constexpr char kSection[] = "information";

bool IsFileOrLink(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec)) ||
           std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec));
}

// Puts Busy, the hourglass, the connection and the progress widgets back, unless the program
// is on its way out.
class TCleanUp {
  public:
    TCleanUp(THTTPClient& http1, TUpdateView& view, bool& busy)
        : http1_(http1), view_(view), busy_(busy) {
        busy_ = true;
        view_.BeginWaitCursor();
    }
    ~TCleanUp() {
        if (closing_) return;
        try {
            if (http1_.IsConnected()) http1_.Disconnect();
        } catch (...) {
            // The widgets and the flag must come back even so.
        }
        view_.SetProgressVisible(false);
        view_.SetProgressLabel("");
        busy_ = false;
        view_.EndWaitCursor();
    }
    TCleanUp(const TCleanUp&) = delete;
    TCleanUp& operator=(const TCleanUp&) = delete;

    void Closing() { closing_ = true; }

  private:
    THTTPClient& http1_;
    TUpdateView& view_;
    bool& busy_;
    bool closing_ = false;
};

std::string Information(const std::string& versionFile, const char* key, const std::string& def) {
    return ReadSetting(versionFile, kSection, key, def);
}

// Fetches the version file and stores it; false when it names no version.
bool FetchVersionFile(THTTPClient& http1, const std::string& versionFile, std::string& version) {
    SetHTTPTarget(http1, UpdateHosts().UpdateHost);
    http1.Connect(kConnectTimeout);
    TVersionFileStream received;
    http1.Get("/files/kavrel.version", received);
    const std::string& text = received.Data;
    if (IsFileOrLink(versionFile)) {
        std::error_code ec;
        std::filesystem::remove(versionFile, ec);
    }
    // Reading an old file that could not be replaced would offer a stale update.
    EnsureDirectory(SettingsFolder());
    if (!WriteNewFile(versionFile, text)) {
        throw EUpdateError("Unable to save the version information as " + versionFile);
    }
    version = Information(versionFile, "version", "");
    http1.Disconnect();
    return !version.empty();
}

void DownloadAndStart(THTTPClient& http1, TUpdateView& view, const std::string& versionFile) {
    const std::string sizeText = Information(versionFile, "fileSize", "1000000");
    const std::int32_t size = TryStrToInt(sizeText).value_or(1000000);
    // A bar cannot count down; such a file is broken, and so is the rest of what it says.
    if (size < 0) throw EUpdateError("Invalid size of the update: " + sizeText);
    view.SetProgressLabel("Downloading update. Please stand by.");
    view.AppendLog("\r\n... downloading update.");
    view.SetProgressMax(size);
    view.SetProgressVisible(true);
    view.ProcessEvents();

    SetHTTPTarget(http1, Information(versionFile, "fileServer", UpdateHosts().WebHost));
    http1.Connect(kConnectTimeout);
    const std::string url = Information(versionFile, "fileURL", "");
    const std::string name = InstallerFileName(Information(versionFile, "fileName", "setup.exe"));
    TInstallerFile installer(name);
    try {
        http1.Get(url, installer.Stream());
    } catch (const EStreamError&) {
        throw EUpdateError(TInstallerFile::SaveFailure(name));
    }
    installer.Commit();
    view.StartInstaller(name);
}

}  // namespace

std::string VersionFilePath() { return SettingsFolder() + kVersionFileName; }

bool IsNewerVersion(const std::string& announced, const std::string& current) {
    return announced > current;
}

std::string InstallerFileName(const std::string& fileName) {
    const auto slash = fileName.find_last_of("/\\");
    std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    // A hidden name would let the server plant a shell start-up file in the home folder.
    if (name.empty() || name.front() == '.') return "setup.exe";
    return name;
}

void SetHTTPTarget(THTTPClient& http1, const std::string& server) {
    const bool tls = StartsText(server, "https://");
    std::string_view rest = server;
    if (tls || StartsText(server, "http://")) rest.remove_prefix(rest.find("://") + 3);
    // The mail accounts' "name:port" rule, with the web's standard ports.
    const TServerAddress address = SplitHostPort(rest, tls ? 443 : 80);
    http1.SetProtocol(tls ? "https" : "http");
    http1.SetHost(address.Host);
    http1.SetPort(address.Port);
}

void UpdateExecute(THTTPClient& http1, TUpdateView& view, bool& Busy) {
    if (Busy) return;
    TCleanUp cleanUp(http1, view, Busy);
    view.AppendLog("\r\nConnecting to " + UpdateHosts().WebHost + " to obtain update information.");
    const std::string title = kProgramTitle;
    try {
        const std::string versionFile = VersionFilePath();
        std::string version;
        if (!FetchVersionFile(http1, versionFile, version)) {
            ShowNoVersionInfo(view);
            return;
        }
        if (!IsNewerVersion(version)) {
            view.ShowInformation(title, title + " is the latest version.");
            return;
        }
        const std::string desc = Information(versionFile, "versionDescription", "");
        const std::string date = Information(versionFile, "releaseDate", "");
        if (!view.AskYesNo(title, "An update to Kavrel is available.\rYou are running " + title +
                                      "\rDo you wish to update to " + desc + " dated " + date +
                                      "?")) {
            return;
        }
        DownloadAndStart(http1, view, versionFile);
    } catch (const std::exception& e) {
        ShowNoVersionInfo(view);
        view.AppendLog("\r\n... " + std::string(e.what()));
        return;
    }
    // Busy and the hourglass stay: nothing runs after this.
    cleanUp.Closing();
    view.CloseProgram();
}

void ShowNoVersionInfo(TUpdateView& view) {
    view.AppendLog("\r\n... Unable to obtain version information");
    view.AppendLog("\r\n... Please go to " + WebAddress() + " to obtain the latest version.");
    view.ShowInformation(kProgramTitle, "Unable to obtain version information\r\nPlease go to " +
                                            WebAddress() + " to obtain the latest version.");
}

void UpdateWork(TUpdateView& view, std::int32_t AWorkCount) {
    view.SetProgressPosition(AWorkCount);
    view.SetProgressLabel("Downloading update. Downloaded " + IntToStr(AWorkCount) + " bytes");
    view.ProcessEvents();
}

}  // namespace kavrel
