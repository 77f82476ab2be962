#pragma once

#include <string>
#include <string_view>

namespace kavrel {

// A URL in pieces. Path is the directory part with its slashes ("/files/"), Document the
// name after it, Params the query from its "?" on. Nothing is percent-decoded.
class TURI {
  public:
    std::string Protocol;
    std::string UserName;
    std::string Password;
    std::string Host;
    std::string Port;
    std::string Path;
    std::string Document;
    std::string Params;
    std::string Bookmark;

    // Replaces every field with the pieces of AText. A text without "://" is relative: it
    // has no protocol, host or port. Backslashes count as slashes.
    void ParseUri(std::string_view AText);
};

// Resolves APath against the directory ABase: an absolute path replaces it, runs of "/"
// collapse and ".." drops the segment before it. "/files/" + "setup.exe" is
// "/files/setup.exe", "/files/" + "../x/" is "/x/".
std::string CombinePath(std::string_view ABase, std::string_view APath);

}  // namespace kavrel
