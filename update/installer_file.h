#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "net/transport/stream.h"

namespace kavrel {

// A failure of the update check that is ours rather than the network's; the message is what
// the log shows.
class EUpdateError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The installer on its way to disk. The download goes into a hidden file beside the final
// name, and only a complete one takes that name: a failed or cut download never replaces a
// file, and never leaves half an installer behind.
class TInstallerFile {
  public:
    // The file name without folders. Raises EUpdateError naming it when no file can be made.
    explicit TInstallerFile(std::string name);
    ~TInstallerFile();
    TInstallerFile(const TInstallerFile&) = delete;
    TInstallerFile& operator=(const TInstallerFile&) = delete;

    TStream& Stream() { return *stream_; }
    // Puts the complete file in place under its name, replacing what was there. Raises
    // EUpdateError naming it when that fails.
    void Commit();

    // "Unable to save the update as " + name.
    static std::string SaveFailure(const std::string& name);

  private:
    std::string name_;
    std::string partial_;
    std::unique_ptr<TFileStream> stream_;
    bool committed_ = false;
};

}  // namespace kavrel
