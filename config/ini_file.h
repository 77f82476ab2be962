#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "config/durable_file.h"

// Our INI reader and writer. Sections and keys match without regard to case (a to z); a value
// is the text after the first "=" with blanks removed at both ends and one enclosing pair of
// double or single quotes taken off. Only the first section of a name and the first key of a
// name within it count. Writing keeps every other line of the file as it was: an existing key
// is replaced in its place, a new key goes after the last line of its section and a new section
// at the end of the file. Each write replaces the file atomically.
namespace kavrel {

// Larger files are never read: ours stay under 2 KB, and a file of many megabytes (grown by
// something else, or planted) would only cost memory and time. A writer moves such a file
// aside to its name + ".too-large" and starts a fresh one.
inline constexpr std::size_t kMaxIniFileSize = 1 << 20;

// The value text of key in section; nothing when the file, the section or the key is missing,
// or the file is larger than kMaxIniFileSize.
std::optional<std::string> IniRead(const std::string& fileName, std::string_view section,
                                   std::string_view key);
std::optional<std::string> IniReadText(std::string_view content, std::string_view section,
                                       std::string_view key);

// A whole file parsed once, for a reader of many keys; read by the rules of IniReadText.
class TIniView {
  public:
    TIniView() = default;
    explicit TIniView(std::string_view content);
    // Empty when the file is missing, cannot be read or is larger than kMaxIniFileSize.
    static TIniView Load(const std::string& fileName);

    std::optional<std::string> Read(std::string_view section, std::string_view key) const;
    // The file was there but not read, for its size.
    bool TooLarge() const { return tooLarge_; }
    // Some "pw" key (with any number) of any [accounts] section holds a value: the settings
    // file keeps that password in clear.
    bool HoldsPasswords() const { return holdsPasswords_; }

  private:
    // Section and key upper-cased, joined by a line feed, which neither can hold.
    std::unordered_map<std::string, std::string> values_;
    bool tooLarge_ = false;
    bool holdsPasswords_ = false;
};

// Stores value under key, creating the file (mode 0600), the section and the key as needed.
// Every write leaves a file that holds passwords readable by its owner alone.
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
    // Fails when the file could not be read or written; the old file is then left whole. A
    // file too large to read is renamed first, so that none of it is lost.
    TWriteResult Commit();

  private:
    std::string fileName_;
    std::optional<std::string> content_;  // nothing when the file exists but cannot be read
    int readError_ = 0;                   // why it cannot
    bool tooLarge_ = false;               // moved aside at Commit, never read
};

// Several keys of one section written in their order with a single replacement of the file, so
// that a record of related values is stored whole or not at all.
bool IniWriteValues(const std::string& fileName, std::string_view section,
                    const std::vector<std::pair<std::string, std::string>>& values);

}  // namespace kavrel
