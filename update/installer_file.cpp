#include "update/installer_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace kavrel {

std::string TInstallerFile::SaveFailure(const std::string& name) {
    return "Unable to save the update as " + name;
}

TInstallerFile::TInstallerFile(std::string name) : name_(std::move(name)) {
    partial_ = "." + name_ + ".XXXXXX";
    TUniqueFd fd(::mkostemp(partial_.data(), O_CLOEXEC));
    if (!fd.valid()) throw EUpdateError(SaveFailure(name_));
    stream_ = std::make_unique<TFileStream>(std::move(fd));
}

TInstallerFile::~TInstallerFile() {
    if (!committed_) ::unlink(partial_.c_str());
}

void TInstallerFile::Commit() {
    // Readable like any download, and never executable: the file came over plain HTTP, so
    // the desktop's handler for its type decides what opening it means.
    const bool ok = ::fchmod(stream_->Descriptor(), 0644) == 0 && stream_->Close() &&
                    std::rename(partial_.c_str(), name_.c_str()) == 0;
    if (!ok) throw EUpdateError(SaveFailure(name_));
    committed_ = true;
}

}  // namespace kavrel
