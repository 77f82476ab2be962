#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kavrel {

struct TFileContent {
    std::optional<std::string> Text;  // nothing when missing, unreadable or too large
    bool TooLarge = false;            // more than maxSize bytes: not read at all
    int Error = 0;                    // errno when Text is missing for another reason
};

// The whole content of a regular file of at most maxSize bytes; a larger one is not read.
TFileContent ReadFileUpTo(const std::string& path, std::size_t maxSize);

// Creates every missing folder on the way to (and including) dir, each with mode 0700.
bool EnsureDirectory(const std::string& dir);

// How a write ended: Error is the errno value that stopped it, 0 when the file was written.
struct TWriteResult {
    int Error = 0;
    explicit operator bool() const { return Error == 0; }
};

// Replaces the file's content so that a crash, a kill or a full disk at any moment leaves
// either the old content or the new one: the data goes to a temporary file in the same folder,
// is flushed to disk and then renamed over the old file. An existing file keeps its mode (and,
// when we may, its owner); a new one gets newFileMode; either is limited to allowedBits.
// Missing folders are created. A symbolic link is followed, so the link itself survives.
TWriteResult ReplaceFileAtomically(const std::string& path, std::string_view data,
                                   mode_t newFileMode = 0600, mode_t allowedBits = 07777);

// Removes what replacements of path cut short by a kill or a crash left beside it: our own
// temporary files, regular and owned by us, last written more than maxAge ago. A younger one
// may belong to a replacement that another running copy is making right now.
void RemoveStaleTemporaries(const std::string& path, std::chrono::seconds maxAge);

// Takes the group and other permission bits off a regular file; true when it had some and
// they are gone now.
bool RestrictToOwner(const std::string& path);

}  // namespace kavrel
