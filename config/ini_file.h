#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Our INI reader and writer. Sections and keys match without regard to case (a to z); a value
// is the text after the first "=" with blanks removed at both ends and one enclosing pair of
// double or single quotes taken off. Only the first section of a name and the first key of a
// name within it count. Writing keeps every other line of the file as it was: an existing key
// is replaced in its place, a new key goes after the last line of its section and a new section
// at the end of the file. Each write replaces the file atomically.
namespace kavrel {

// The value text of key in section; nothing when the file, the section or the key is missing.
std::optional<std::string> IniRead(const std::string& fileName, std::string_view section,
                                   std::string_view key);
std::optional<std::string> IniReadText(std::string_view content, std::string_view section,
                                       std::string_view key);

// Stores value under key, creating the file (mode 0600), the section and the key as needed.
// Line breaks cannot be stored in an INI line, so CR and LF in any argument become blanks
// instead of turning into lines of their own. False when the file could not be written.
bool IniWrite(const std::string& fileName, std::string_view section, std::string_view key,
              std::string_view value);
std::string IniWriteText(std::string_view content, std::string_view section, std::string_view key,
                         std::string_view value);

// The writes of one save, applied as IniWrite would apply them one by one, but with the file
// replaced once at Commit: a crash or a kill in the middle of a save leaves all the old values
// or all the new ones, never some of each.
class TIniBatch {
  public:
    explicit TIniBatch(std::string fileName);

    void Write(std::string_view section, std::string_view key, std::string_view value);
    // False when the file could not be read or written; the old file is then left whole.
    bool Commit();

  private:
    std::string fileName_;
    std::optional<std::string> content_;  // nothing when the file exists but cannot be read
};

// Several keys of one section written in their order with a single replacement of the file, so
// that a record of related values is stored whole or not at all.
bool IniWriteValues(const std::string& fileName, std::string_view section,
                    const std::vector<std::pair<std::string, std::string>>& values);

}  // namespace kavrel
