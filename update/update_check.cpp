#include "update/update_check.h"

#include <algorithm>
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

// Fetches the version file and stores it; false when it names no version. overTLS tells how
// the file travelled.
bool FetchVersionFile(THTTPClient& http1, const std::string& versionFile, std::string& version,
                      bool& overTLS) {
    SetHTTPTarget(http1, UpdateHosts().UpdateHost);
    http1.Connect(kConnectTimeout);
    TVersionFileStream received;
    http1.Get("/files/kavrel.version", received);
    overTLS = SameText(http1.TargetUri.Protocol, "https");
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

bool IsSha256Text(const std::string& text) {
    return text.size() == 64 &&
           text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

// The installer's checksum, checked before the user is asked about an update that could
// never be installed. Without TLS it is all that vouches for the installer.
std::string ExpectedSha256(const std::string& versionFile, bool overTLS) {
    const std::string sha256 = Trim(Information(versionFile, "sha256", ""));
    if (!sha256.empty() && !IsSha256Text(sha256)) {
        throw EUpdateError(
            "The SHA-256 checksum in the version information is not 64 hexadecimal digits.");
    }
    if (sha256.empty() && !overTLS) {
        throw EUpdateError(
            "The version information came over plain HTTP without a SHA-256 checksum of the "
            "update, so the update was refused.");
    }
    return sha256;
}

// After a version file over TLS, an absolute address of the installer is fetched over TLS too,
// whatever scheme it names. Backslashes count as slashes, as the client reads them.
std::string SecureURL(const std::string& url) {
    std::string slashed = url;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    const auto scheme = slashed.find("://");
    return scheme == std::string::npos ? url : "https" + slashed.substr(scheme);
}

void DownloadAndStart(THTTPClient& http1, TUpdateView& view, const std::string& versionFile,
                      bool overTLS, const std::string& sha256) {
    const std::string sizeText = Information(versionFile, "fileSize", "1000000");
    const std::int32_t size = TryStrToInt(sizeText).value_or(1000000);
    // A bar cannot count down; such a file is broken, and so is the rest of what it says.
    if (size < 0) throw EUpdateError("Invalid size of the update: " + sizeText);
    view.SetProgressLabel("Downloading update. Please stand by.");
    view.AppendLog("\r\n... downloading update.");
    view.SetProgressMax(size);
    view.SetProgressVisible(true);
    view.ProcessEvents();

    SetHTTPTarget(http1, Information(versionFile, "fileServer", UpdateHosts().WebHost), overTLS);
    http1.Connect(kConnectTimeout);
    const std::string url = Information(versionFile, "fileURL", "");
    const std::string name = InstallerFileName(Information(versionFile, "fileName", "setup.exe"));
    TInstallerFile installer(DownloadFolder(), name);
    try {
        http1.Get(overTLS ? SecureURL(url) : url, installer.Stream());
    } catch (const EStreamError&) {
        throw EUpdateError(TInstallerFile::SaveFailure(installer.Path()));
    }
    installer.Commit(sha256);
    view.AppendLog("\r\n... update saved as " + installer.Path());
    view.StartInstaller(installer.Path());
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

void SetHTTPTarget(THTTPClient& http1, const std::string& server, bool tlsOnly) {
    const bool tls = tlsOnly || StartsText(server, "https://");
    std::string_view rest = server;
    if (StartsText(server, "https://") || StartsText(server, "http://")) {
        rest.remove_prefix(rest.find("://") + 3);
    }
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
        bool overTLS = false;
        if (!FetchVersionFile(http1, versionFile, version, overTLS)) {
            ShowNoVersionInfo(view);
            return;
        }
        if (!IsNewerVersion(version)) {
            view.ShowInformation(title, title + " is the latest version.");
            return;
        }
        const std::string sha256 = ExpectedSha256(versionFile, overTLS);
        const std::string desc = Information(versionFile, "versionDescription", "");
        const std::string date = Information(versionFile, "releaseDate", "");
        if (!view.AskYesNo(title, "An update to Kavrel is available.\rYou are running " + title +
                                      "\rDo you wish to update to " + desc + " dated " + date +
                                      "?")) {
            return;
        }
        DownloadAndStart(http1, view, versionFile, overTLS, sha256);
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
