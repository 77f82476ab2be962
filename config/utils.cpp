#include "config/utils.h"

#include <fcntl.h>
#include <unistd.h>

#include "base/unique_fd.h"
#include "config/ini_file.h"

namespace kavrel {
namespace {

constexpr std::size_t kMaxSettingLength = 999;

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }
bool IsLead(unsigned char c) { return c >= 0xC2 && c <= 0xF4; }

// Cuts at most max bytes, stepping back rather than splitting a UTF-8 character in two.
// Bytes that are not UTF-8 (Windows-1252 text) are cut at max.
std::string Truncate(std::string text, std::size_t max) {
    if (text.size() <= max) return text;
    std::size_t p = max;
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    while (p > 0 && max - p < 3 && IsContinuation(at(p))) --p;
    text.resize(p < max && IsLead(at(p)) ? p : max);
    return text;
}

std::string SettingOf(const std::optional<std::string>& value, const std::string& def) {
    if (!value || value->empty()) return def;
    return Truncate(*value, kMaxSettingLength);
}

}  // namespace

std::string ReadSetting(const std::string& fileName, const std::string& section,
                        const std::string& key, const std::string& def) {
    return SettingOf(IniRead(fileName, section, key), def);
}

std::string ReadSetting(const TIniView& ini, const std::string& section, const std::string& key,
                        const std::string& def) {
    return SettingOf(ini.Read(section, key), def);
}

void WriteSetting(const std::string& fileName, const std::string& section, const std::string& key,
                  const std::string& value) {
    IniWrite(fileName, section, key, value);
}

std::string RightChars(const std::string& text, int count) {
    if (count <= 0) return {};
    const auto n = static_cast<std::size_t>(count);
    return n >= text.size() ? text : text.substr(text.size() - n);
}

bool WriteNewFile(const std::string& path, const std::string& data) {
    TUniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid()) return false;
    const bool ok = WriteAll(fd.get(), data) && fd.Close();
    if (!ok) ::unlink(path.c_str());
    return ok;
}

std::string StripQuotes(const std::string& text) {
    std::string out = text;
    if (RightChars(out, 1) == "\"") out.pop_back();
    if (!out.empty() && out.front() == '"') out.erase(0, 1);
    return out;
}

}  // namespace kavrel
