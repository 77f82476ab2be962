#include "config/ini_file.h"

#include <cerrno>
#include <cstdio>
#include <unordered_set>
#include <vector>

#include "base/strings.h"
#include "config/durable_file.h"

namespace kavrel {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct TLine {
    std::string_view body;  // without its line end
    std::string_view end;   // "\r\n", "\n" or "" for a last line without one
};

std::vector<TLine> SplitLines(std::string_view content) {
    std::vector<TLine> lines;
    while (!content.empty()) {
        const auto lf = content.find('\n');
        if (lf == std::string_view::npos) {
            lines.push_back({content, {}});
            break;
        }
        const std::size_t bodyLen = (lf > 0 && content[lf - 1] == '\r') ? lf - 1 : lf;
        lines.push_back({content.substr(0, bodyLen), content.substr(bodyLen, lf + 1 - bodyLen)});
        content.remove_prefix(lf + 1);
    }
    return lines;
}

enum class TKind { Other, Section, Key };

struct TParsed {
    TKind kind = TKind::Other;
    std::string name;   // section name or key
    std::string value;  // key lines only, trimmed but still quoted
};

TParsed Classify(std::string_view body, bool first) {
    if (first && body.substr(0, kUtf8Bom.size()) == kUtf8Bom) body.remove_prefix(kUtf8Bom.size());
    const std::string t = Trim(body);
    if (!t.empty() && t.front() == '[') {
        const auto close = t.find(']');
        return {TKind::Section,
                Trim(std::string_view(t).substr(
                    1, close == std::string::npos ? std::string::npos : close - 1)),
                {}};
    }
    const auto eq = t.find('=');
    if (eq == std::string::npos) return {};
    return {TKind::Key, Trim(std::string_view(t).substr(0, eq)),
            Trim(std::string_view(t).substr(eq + 1))};
}

bool IsPasswordKey(std::string_view upperKey) {
    return upperKey.size() > 2 && upperKey.substr(0, 2) == "PW" &&
           upperKey.find_first_not_of("0123456789", 2) == std::string_view::npos;
}

std::string Unquote(std::string v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return out;
}

// Where a key lives in the file, or where it would go.
struct TPlace {
    bool sectionFound = false;
    std::size_t keyLine = std::string::npos;  // index of the key's line
    std::size_t lastLine = 0;                 // last non-blank line of the section
    std::string keyText;                      // the key as spelled in the file
    std::string value;
};

TPlace Locate(const std::vector<TLine>& lines, std::string_view section, std::string_view key) {
    TPlace place;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const TParsed p = Classify(lines[i].body, i == 0);
        if (p.kind == TKind::Section) {
            if (inSection) break;  // only the first section of that name counts
            inSection = SameText(p.name, section);
            if (inSection) {
                place.sectionFound = true;
                place.lastLine = i;
            }
            continue;
        }
        if (!inSection) continue;
        if (!Trim(lines[i].body).empty()) place.lastLine = i;
        if (p.kind == TKind::Key && SameText(p.name, key)) {
            place.keyLine = i;
            place.keyText = p.name;
            place.value = p.value;
            return place;
        }
    }
    return place;
}

}  // namespace

std::optional<std::string> IniReadText(std::string_view content, std::string_view section,
                                       std::string_view key) {
    const TPlace place = Locate(SplitLines(content), section, key);
    if (place.keyLine == std::string::npos) return std::nullopt;
    return Unquote(place.value);
}

std::optional<std::string> IniRead(const std::string& fileName, std::string_view section,
                                   std::string_view key) {
    const TFileContent file = ReadFileUpTo(fileName, kMaxIniFileSize);
    if (!file.Text) return std::nullopt;
    return IniReadText(*file.Text, section, key);
}

TIniView::TIniView(std::string_view content) {
    std::unordered_set<std::string> sections;
    // The current section's part of a name in values_, while it is the first of its name.
    std::optional<std::string> prefix;
    // Every [accounts] section and every key, not just those read: a password the program
    // ignores is still in clear on the disk.
    bool inAccounts = false;
    for (bool first = true; !content.empty(); first = false) {
        const auto lf = content.find('\n');
        // A CR before the LF goes with the blanks that Classify trims.
        const TParsed p = Classify(content.substr(0, lf), first);
        content.remove_prefix(lf == std::string_view::npos ? content.size() : lf + 1);
        if (p.kind == TKind::Section) {
            std::string name = UpperCase(p.name);
            inAccounts = name == "ACCOUNTS";
            prefix.reset();
            if (sections.insert(name).second) prefix = std::move(name) + '\n';
        } else if (p.kind == TKind::Key) {
            std::string key = UpperCase(p.name);
            std::string value = Unquote(p.value);
            if (inAccounts && !value.empty() && IsPasswordKey(key)) holdsPasswords_ = true;
            if (prefix) values_.try_emplace(*prefix + key, std::move(value));
        }
    }
}

TIniView TIniView::Load(const std::string& fileName) {
    TFileContent file = ReadFileUpTo(fileName, kMaxIniFileSize);
    TIniView view = file.Text ? TIniView(*file.Text) : TIniView();
    view.tooLarge_ = file.TooLarge;
    return view;
}

std::optional<std::string> TIniView::Read(std::string_view section, std::string_view key) const {
    if (section.find('\n') != std::string_view::npos || key.find('\n') != std::string_view::npos)
        return std::nullopt;
    const auto it = values_.find(UpperCase(section) + '\n' + UpperCase(key));
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

std::string IniWriteText(std::string_view content, std::string_view section, std::string_view key,
                         std::string_view value) {
    const std::string sec = OneLine(section);
    const std::string k = OneLine(key);
    const std::string v = OneLine(value);
    const std::vector<TLine> lines = SplitLines(content);
    // New lines follow the file's own line ends.
    std::string_view eol = "\n";
    for (const TLine& l : lines) {
        if (!l.end.empty()) {
            eol = l.end;
            break;
        }
    }
    const TPlace place = Locate(lines, sec, k);

    std::string out;
    out.reserve(content.size() + sec.size() + k.size() + v.size() + 8);
    auto emit = [&](std::size_t i) {
        out += lines[i].body;
        out += lines[i].end.empty() ? eol : lines[i].end;
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == place.keyLine) {
            out += place.keyText + "=" + v;
            out += lines[i].end.empty() ? eol : lines[i].end;
            continue;
        }
        emit(i);
        if (place.sectionFound && place.keyLine == std::string::npos && i == place.lastLine) {
            out += k + "=" + v;
            out += eol;
        }
    }
    if (!place.sectionFound) {
        out += "[" + sec + "]";
        out += eol;
        out += k + "=" + v;
        out += eol;
    }
    return out;
}

bool IniWrite(const std::string& fileName, std::string_view section, std::string_view key,
              std::string_view value) {
    TIniBatch batch(fileName);
    batch.Write(section, key, value);
    return static_cast<bool>(batch.Commit());
}

bool IniWriteValues(const std::string& fileName, std::string_view section,
                    const std::vector<std::pair<std::string, std::string>>& values) {
    TIniBatch batch(fileName);
    for (const auto& [key, value] : values) batch.Write(section, key, value);
    return static_cast<bool>(batch.Commit());
}

TIniBatch::TIniBatch(std::string fileName) : fileName_(std::move(fileName)) {
    TFileContent file = ReadFileUpTo(fileName_, kMaxIniFileSize);
    content_ = std::move(file.Text);
    tooLarge_ = file.TooLarge;
    // A file that exists but cannot be read must not be replaced by one holding our keys only.
    if (tooLarge_ || (!content_ && file.Error == ENOENT)) content_ = std::string();
    readError_ = file.Error;
}

void TIniBatch::Write(std::string_view section, std::string_view key, std::string_view value) {
    if (content_) content_ = IniWriteText(*content_, section, key, value);
}

TWriteResult TIniBatch::Commit() {
    if (!content_) return {readError_};
    if (tooLarge_) {
        const std::string aside = fileName_ + ".too-large";
        if (std::rename(fileName_.c_str(), aside.c_str()) != 0) return {errno};
        // Unread, it may hold passwords.
        RestrictToOwner(aside);
        tooLarge_ = false;
    }
    const bool secret = TIniView(*content_).HoldsPasswords();
    return ReplaceFileAtomically(fileName_, *content_, 0600, secret ? 0700 : 07777);
}

}  // namespace kavrel
