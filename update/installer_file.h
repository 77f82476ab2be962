#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "net/transport/stream.h"

namespace kavrel {

// A failure of the update check that is ours rather than the network's; the message is what
// the log shows.
class EUpdateError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Where the installer is saved: $XDG_DOWNLOAD_DIR, else the download folder named in
// user-dirs.dirs, else ~/Downloads, each only when it is an existing folder given by an
// absolute path; else the current folder. No trailing "/".
std::string DownloadFolder();

// The installer on its way to disk. The download goes into a hidden file in the folder, and
// only a complete one that passed its check gets a name: a failed, cut or forged download
// never leaves a file behind.
class TInstallerFile {
  public:
    // The file name without folders. Raises EUpdateError naming it when no file can be made.
    TInstallerFile(std::string folder, std::string name);
    ~TInstallerFile();
    TInstallerFile(const TInstallerFile&) = delete;
    TInstallerFile& operator=(const TInstallerFile&) = delete;

    TStream& Stream() { return *stream_; }
    // Checks the bytes against sha256 (64 hexadecimal digits; empty for no check), then gives
    // the file the first free name of name, "stem (1).ext", "stem (2).ext" ...; a name of
    // Kavrel's own is never taken and nothing is ever replaced. Raises EUpdateError.
    void Commit(std::string_view sha256 = {});
    // The final path once committed; until then the name asked for.
    const std::string& Path() const { return path_; }

    // "Unable to save the update as " + path.
    static std::string SaveFailure(const std::string& path);

  private:
    std::string folder_;
    std::string name_;
    std::string path_;
    std::string partial_;
    std::unique_ptr<TFileStream> stream_;
    bool committed_ = false;
};

}  // namespace kavrel
