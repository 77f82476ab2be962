#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kavrel {

struct TFileContent {
    std::optional<std::string> Text;  // nothing when missing, unreadable or too large
    bool TooLarge = false;            // more than maxSize bytes: not read at all
};

// The whole content of a regular file of at most maxSize bytes; a larger one is not read.
TFileContent ReadFileUpTo(const std::string& path, std::size_t maxSize);

// Creates every missing folder on the way to (and including) dir, each with mode 0700.
bool EnsureDirectory(const std::string& dir);

// Replaces the file's content so that a crash, a kill or a full disk at any moment leaves
// either the old content or the new one: the data goes to a temporary file in the same folder,
// is flushed to disk and then renamed over the old file. An existing file keeps its mode (and,
// when we may, its owner); a new one gets newFileMode. Missing folders are created. A symbolic
// link is followed, so the link itself survives.
bool ReplaceFileAtomically(const std::string& path, std::string_view data,
                           mode_t newFileMode = 0600);

}  // namespace kavrel
