#pragma once

#include <string>

// The small helpers the rest of the program shares.
namespace kavrel {

class TIniView;

// A value of an INI file: at most 999 characters of it, and def when the file, the section
// or the key is missing or the value is empty.
std::string ReadSetting(const std::string& fileName, const std::string& section,
                        const std::string& key, const std::string& def);
// The same from a file read once for many keys.
std::string ReadSetting(const TIniView& ini, const std::string& section, const std::string& key,
                        const std::string& def);

// Stores one value; a failed write goes unreported, as every caller wants.
void WriteSetting(const std::string& fileName, const std::string& section, const std::string& key,
                  const std::string& value);

// The last count characters of text, or all of it when count is not smaller than its length.
std::string RightChars(const std::string& text, int count);

// Creates path, which must not exist yet, holding exactly the bytes of data. False when the
// file exists or cannot be written whole; a partly written file is removed again.
bool WriteNewFile(const std::string& path, const std::string& data);

// Takes one double quote off the end, then one off the start.
std::string StripQuotes(const std::string& text);

}  // namespace kavrel
