// The INI reader and writer over a whole file. The input is three lines, the section, the key
// and the value, followed by the file's text.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/strings.h"
#include "config/ini_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace kavrel {
namespace {

// Names the file can hold as they are: without line breaks and blanks at the ends, a section
// without "]" and a key without "=" that does not look like a section.
bool Plain(std::string_view name) {
    return name.find_first_of("\r\n") == std::string_view::npos && Trim(name) == name;
}
bool PlainSection(std::string_view s) { return Plain(s) && s.find(']') == std::string_view::npos; }
bool PlainKey(std::string_view k) {
    return Plain(k) && k.find('=') == std::string_view::npos && (k.empty() || k.front() != '[');
}

// What a value comes back as: one line, blanks off the ends, one pair of quotes off.
std::string AsRead(std::string_view value) {
    std::string v(value);
    for (char& c : v) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    v = Trim(v);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return v;
}

// Section and key names as the file spells them, for the first few key lines.
std::vector<std::pair<std::string, std::string>> KeysOf(std::string_view file) {
    std::vector<std::pair<std::string, std::string>> keys;
    std::string section;
    fuzz::TFuzzInput lines(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
    while (!lines.Empty() && keys.size() < 16) {
        const std::string t = Trim(lines.Line());
        if (!t.empty() && t.front() == '[') {
            section = Trim(std::string_view(t).substr(1, t.find(']') - 1));
        } else if (const auto eq = t.find('='); eq != std::string::npos) {
            keys.emplace_back(section, Trim(std::string_view(t).substr(0, eq)));
        }
    }
    return keys;
}

}  // namespace
}  // namespace kavrel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    fuzz::TFuzzInput input(data, size);
    const std::string_view section = input.Line();
    const std::string_view key = input.Line();
    const std::string_view value = input.Line();
    const std::string_view file = input.Rest();

    // The view parsed once reads every key as the reader of one key does.
    const TIniView view(file);
    FUZZ_CHECK(view.Read(section, key) == IniReadText(file, section, key));
    for (const auto& [s, k] : KeysOf(file)) FUZZ_CHECK(view.Read(s, k) == IniReadText(file, s, k));
    const std::string written = IniWriteText(file, section, key, value);
    if (!PlainSection(section) || !PlainKey(key)) return 0;

    // A stored value reads back, and storing it again changes nothing.
    FUZZ_CHECK(IniReadText(written, section, key) == AsRead(value));
    FUZZ_CHECK(IniWriteText(written, section, key, value) == written);
    // Every other key of the file reads as it did.
    for (const auto& [s, k] : KeysOf(file)) {
        if (SameText(s, section) && SameText(k, key)) continue;
        FUZZ_CHECK(IniReadText(written, s, k) == IniReadText(file, s, k));
    }
    return 0;
}
