#include "ui/table_scan.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <unordered_map>
#include <utility>

namespace kavrel {
namespace {

// White space as the engine splits text; every other character belongs to a word.
bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlnum(char c) { return IsAlpha(c) || IsDigit(c); }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool OneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The engine gives every CJK unified ideograph a word of its own.
bool IsSplitIdeograph(char32_t c) { return c >= 0x4E00 && c <= 0x9FCC; }

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The code point at text[pos] and its length in bytes; length 0 for a malformed sequence.
std::pair<char32_t, int> DecodeUtf8(std::string_view text, std::size_t pos) {
    const auto b = static_cast<unsigned char>(text[pos]);
    const int length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
    if (length == 0 || pos + std::size_t(length) > text.size()) return {0, 0};
    char32_t c = length == 1 ? b : b & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + std::size_t(i)]);
        if ((next & 0xC0) != 0x80) return {0, 0};
        c = (c << 6) | (next & 0x3F);
    }
    return {c, length};
}

struct TTag {
    enum class TKind { Start, End, Text, Unknown } kind = TKind::Unknown;
    bool selfClosing = false;
    std::string name;
    std::vector<std::pair<std::string, std::string_view>> attributes;
    std::size_t next = 0;

    const std::string_view* Attr(std::string_view attribute) const {
        for (const auto& [n, v] : attributes) {
            if (n == attribute) return &v;
        }
        return nullptr;
    }
    bool OnlyAttributes(std::initializer_list<std::string_view> allowed) const {
        return std::all_of(attributes.begin(), attributes.end(),
                           [&](const auto& a) { return OneOf(a.first, allowed); });
    }
    bool Is(TKind k, std::string_view n) const { return kind == k && name == n; }
};

// Reads what starts at text[pos] == '<' as the HTML tokenizer would: a tag, a literal '<',
// or something this scan does not follow (comments, doctypes, markup cut off).
TTag ReadTag(std::string_view text, std::size_t pos) {
    TTag tag;
    std::size_t p = pos + 1;
    if (p >= text.size()) return tag.kind = TTag::TKind::Text, tag;
    if (text[p] == '/') {
        if (p + 1 >= text.size() || !IsAlpha(text[p + 1])) return tag;
        tag.kind = TTag::TKind::End;
        ++p;
    } else if (IsAlpha(text[p])) {
        tag.kind = TTag::TKind::Start;
    } else {
        tag.kind = text[p] == '!' || text[p] == '?' ? TTag::TKind::Unknown : TTag::TKind::Text;
        return tag;
    }
    for (; p < text.size() && !IsWhite(text[p]) && text[p] != '/' && text[p] != '>'; ++p) {
        if (text[p] == '\0') return tag.kind = TTag::TKind::Unknown, tag;
        tag.name += Lower(text[p]);
    }
    const auto unknown = [&] { return tag.kind = TTag::TKind::Unknown, tag; };
    while (true) {
        while (p < text.size() && IsWhite(text[p])) ++p;
        if (p >= text.size()) return unknown();
        if (text[p] == '>') break;
        if (text[p] == '/') {
            if (p + 1 < text.size() && text[p + 1] == '>') {
                tag.selfClosing = true;
                ++p;
                break;
            }
            ++p;
            continue;
        }
        if (tag.kind == TTag::TKind::End) return unknown();
        std::string name;
        for (; p < text.size() && !IsWhite(text[p]) && text[p] != '/' && text[p] != '>' &&
               (text[p] != '=' || name.empty());
             ++p) {
            if (text[p] == '"' || text[p] == '\'' || text[p] == '<') return unknown();
            name += Lower(text[p]);
        }
        while (p < text.size() && IsWhite(text[p])) ++p;
        std::string_view value;
        if (p < text.size() && text[p] == '=') {
            ++p;
            while (p < text.size() && IsWhite(text[p])) ++p;
            if (p >= text.size()) return unknown();
            if (text[p] == '"' || text[p] == '\'') {
                const std::size_t close = text.find(text[p], p + 1);
                if (close == std::string_view::npos) return unknown();
                value = text.substr(p + 1, close - p - 1);
                p = close + 1;
                if (p < text.size() && !IsWhite(text[p]) && text[p] != '/' && text[p] != '>') {
                    return unknown();
                }
            } else {
                const std::size_t start = p;
                for (; p < text.size() && !IsWhite(text[p]) && text[p] != '>'; ++p) {
                    if (std::string_view("\"'<=`").find(text[p]) != std::string_view::npos) {
                        return unknown();
                    }
                }
                value = text.substr(start, p - start);
            }
        }
        if (!tag.Attr(name)) tag.attributes.emplace_back(std::move(name), value);
    }
    tag.next = p + 1;
    return tag;
}

bool IsInline(std::string_view name) {
    return OneOf(name, {"a", "b", "big", "code", "em", "font", "i", "s", "small", "span", "strike",
                        "strong", "sub", "sup", "tt", "u"});
}

// The start tag as far as it decides the font of what it holds.
std::string FontMarkup(const TTag& tag) {
    std::string out = "<" + tag.name;
    if (tag.name == "font") {
        for (const char* attribute : {"size", "face"}) {
            if (const auto* v = tag.Attr(attribute))
                out += " " + std::string(attribute) + "=\"" + std::string(*v) + "\"";
        }
    } else if (tag.name == "a" && tag.Attr("href")) {
        out += " href=\"#\"";
    }
    return out + ">";
}

bool AllowedInlineAttributes(const TTag& tag) {
    if (tag.name == "font") {
        if (!tag.OnlyAttributes({"color", "size", "face"})) return false;
        for (const char* a : {"size", "face"}) {
            if (const auto* v = tag.Attr(a);
                v && v->find_first_of("\"&") != std::string_view::npos) {
                return false;
            }
        }
        return true;
    }
    if (tag.name == "a") return tag.OnlyAttributes({"href", "name", "title", "target"});
    return tag.attributes.empty();
}

class TInterner {
  public:
    std::int32_t operator()(const std::string& key) {
        const auto [it, added] = ids_.try_emplace(key, std::int32_t(ids_.size()));
        if (added) keys_.push_back(key);
        return it->second;
    }
    std::vector<std::string>& Keys() { return keys_; }

  private:
    std::unordered_map<std::string, std::int32_t> ids_;
    std::vector<std::string> keys_;
};

}  // namespace

// Walks the page once; also walks single cells again to hand out their words.
class TTableScan::TReader {
  public:
    TReader(std::string_view text, TTableScan* scan, const TWordSink* sink)
        : scan_(scan), text_(text), sink_(sink) {}

    bool Page();
    // Scans the content of a cell from pos; fills cell.chain and cell.shape. Returns false
    // when the markup could reach outside the cell. end: where the cell ends.
    bool Content(std::size_t pos, const std::string& cellTag, TCell& cell, bool& irregular,
                 std::size_t& end);

  private:
    bool Row(std::size_t& pos);
    bool Cell(const TTag& tag, std::size_t& pos, TRow& row, std::uint16_t& column);
    void SkipWhite(std::size_t& pos) const {
        while (pos < text_.size() && IsWhite(text_[pos])) ++pos;
    }
    // Decodes the character reference at text[pos] == '&' into word, or reports it as one
    // whose decoding is not followed here.
    bool Reference(std::size_t& pos, std::string& word, bool& white) const;
    void Flush(std::string& word, bool& spaceBefore) const {
        if (word.empty()) return;
        if (sink_) (*sink_)(word, spaceBefore);
        word.clear();
        spaceBefore = false;
    }

    TTableScan* scan_;  // null when only the words of a cell are wanted
    std::string_view text_;
    const TWordSink* sink_;
    TInterner chains_;
    TInterner shapes_;
    TInterner widths_;
    std::vector<std::int32_t> columnWidths_;  // -2 while no cell of the column was seen
};

bool TTableScan::TReader::Page() {
    std::size_t pos = 0;
    const auto next = [&] {
        SkipWhite(pos);
        return pos < text_.size() && text_[pos] == '<' ? ReadTag(text_, pos) : TTag{};
    };
    TTag tag = next();
    if (tag.Is(TTag::TKind::Start, "body") && tag.attributes.empty()) {
        pos = tag.next;
        tag = next();
    }
    if (!tag.Is(TTag::TKind::Start, "table")) return false;
    pos = tag.next;
    SkipWhite(pos);
    scan_->prefixEnd_ = std::uint32_t(pos);
    while (pos < text_.size() && text_[pos] == '<') {
        tag = ReadTag(text_, pos);
        if (tag.Is(TTag::TKind::Start, "tr")) {
            if (!Row(pos)) return false;
            continue;
        }
        if (!tag.Is(TTag::TKind::End, "table") || scan_->rows_.empty()) return false;
        scan_->suffixBegin_ = std::uint32_t(pos);
        pos = tag.next;
        for (const char* closing : {"body", "html"}) {
            if (const TTag after = next(); after.Is(TTag::TKind::End, closing)) pos = after.next;
        }
        SkipWhite(pos);
        scan_->chains_ = std::move(chains_.Keys());
        return pos == text_.size();
    }
    return false;
}

bool TTableScan::TReader::Row(std::size_t& pos) {
    const TTag tr = ReadTag(text_, pos);
    if (!tr.OnlyAttributes({"bgcolor", "valign", "align"})) return false;
    TRow row;
    row.begin = std::uint32_t(pos);
    row.firstCell = std::uint32_t(scan_->cells_.size());
    std::string shape = "tr";
    if (const auto* v = tr.Attr("valign")) shape += std::string(*v);
    pos = tr.next;
    std::uint16_t column = 0;
    while (true) {
        SkipWhite(pos);
        if (pos >= text_.size() || text_[pos] != '<') return false;
        const TTag tag = ReadTag(text_, pos);
        if (tag.kind == TTag::TKind::Start && (tag.name == "td" || tag.name == "th")) {
            if (!Cell(tag, pos, row, column)) return false;
            shape += "|" + std::to_string(scan_->cells_.back().shape);
            continue;
        }
        if (tag.Is(TTag::TKind::End, "tr")) {
            pos = tag.next;
            SkipWhite(pos);
        } else if (!tag.Is(TTag::TKind::Start, "tr") && !tag.Is(TTag::TKind::End, "table")) {
            return false;
        }
        break;
    }
    if (row.cellCount == 0) return false;
    row.end = std::uint32_t(pos);
    row.shape = shapes_(shape);
    scan_->columns_ = std::max<int>(scan_->columns_, column);
    scan_->rows_.push_back(row);
    return true;
}

bool TTableScan::TReader::Cell(const TTag& tag, std::size_t& pos, TRow& row,
                               std::uint16_t& column) {
    if (!tag.OnlyAttributes({"bgcolor", "valign", "align", "width", "colspan"})) return false;
    TCell cell;
    cell.begin = std::uint32_t(pos);
    cell.column = column;
    if (const auto* span = tag.Attr("colspan")) {
        if (span->empty() || span->size() > 2 ||
            !std::all_of(span->begin(), span->end(), IsDigit)) {
            return false;
        }
        cell.span = std::uint16_t(std::stoi(std::string(*span)));
        if (cell.span == 0) return false;
    }
    if (const auto* width = tag.Attr("width")) {
        if (cell.span > 1 || width->find('&') != std::string_view::npos) return false;
        cell.width = widths_(std::string(*width));
    }
    // A column takes its width attribute from its cells: all of them must agree.
    if (cell.span == 1) {
        if (columnWidths_.size() <= column) columnWidths_.resize(column + 1u, -2);
        if (columnWidths_[column] != -2 && columnWidths_[column] != cell.width) return false;
        columnWidths_[column] = cell.width;
    }
    std::string cellTag = "<" + tag.name;
    if (const auto* v = tag.Attr("valign")) cellTag += " " + std::string(*v);
    bool irregular = false;
    std::size_t end = 0;
    if (!Content(tag.next, tag.name, cell, irregular, end)) return false;
    cell.shape = shapes_(cellTag + "|" + std::to_string(cell.shape));
    cell.end = std::uint32_t(end);
    pos = end;
    column = std::uint16_t(column + cell.span);
    row.spanning = row.spanning || cell.span > 1;
    row.irregular = row.irregular || irregular;
    ++row.cellCount;
    scan_->cells_.push_back(cell);
    return true;
}

bool TTableScan::TReader::Content(std::size_t pos, const std::string& cellTag, TCell& cell,
                                  bool& irregular, std::size_t& end) {
    struct TOpen {
        std::string name;
        std::string markup;
        bool hasText = false;
    };
    std::vector<TOpen> open;
    std::string shape;
    std::string word;
    bool inText = false;
    bool white = false;
    bool spaceBefore = false;
    bool hasText = false;
    bool emptyElement = false;
    const auto startText = [&] {
        if (inText) return;
        inText = true;
        shape += 'T';
        std::string chain = "<" + cellTag + ">";
        for (TOpen& o : open) {
            chain += o.markup;
            o.hasText = true;
        }
        hasText = true;
        const std::int32_t id = chains_(chain);
        if (cell.chain >= 0 && cell.chain != id) irregular = true;
        cell.chain = id;
    };
    const auto close = [&](std::size_t depth) {
        for (std::size_t i = open.size(); i > depth; --i) {
            emptyElement = emptyElement || !open[i - 1].hasText;
        }
        open.resize(depth);
    };
    while (pos < text_.size()) {
        const char c = text_[pos];
        if (c == '<') {
            const TTag tag = ReadTag(text_, pos);
            if (tag.kind == TTag::TKind::Unknown) return false;
            if (tag.kind != TTag::TKind::Text) {
                Flush(word, spaceBefore);
                inText = false;
                const bool start = tag.kind == TTag::TKind::Start;
                if ((start && OneOf(tag.name, {"td", "th", "tr"})) ||
                    (!start && OneOf(tag.name, {"tr", "table"}))) {
                    end = pos;
                    break;
                }
                if (!start && OneOf(tag.name, {"td", "th"})) {
                    if (tag.name != cellTag) return false;
                    end = tag.next;
                    break;
                }
                if (tag.name == "br") {
                    irregular = true;
                    shape += 'B';
                } else if (!IsInline(tag.name)) {
                    return false;
                } else if (start) {
                    if (!AllowedInlineAttributes(tag)) return false;
                    irregular = irregular || tag.selfClosing ||
                                (tag.name == "a" &&
                                 std::any_of(open.begin(), open.end(),
                                             [](const TOpen& o) { return o.name == "a"; }));
                    open.push_back({tag.name, FontMarkup(tag)});
                    shape += open.back().markup;
                } else {
                    const auto it = std::find_if(open.rbegin(), open.rend(), [&](const TOpen& o) {
                        return o.name == tag.name;
                    });
                    // Closing anything but the innermost element rebuilds the tree.
                    irregular = irregular || it == open.rend() || it != open.rbegin();
                    if (it != open.rend()) close(std::size_t(open.rend() - it) - 1);
                    shape += '/';
                }
                pos = tag.next;
                continue;
            }
        }
        startText();
        if (c == '&') {
            if (!Reference(pos, word, white)) irregular = true;
        } else if (IsWhite(c)) {
            white = true;
            ++pos;
        } else {
            const auto [code, length] = DecodeUtf8(text_, pos);
            if (length == 0 || code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0)) {
                irregular = true;
            }
            if (IsSplitIdeograph(code)) Flush(word, spaceBefore);
            word.append(text_.substr(pos, std::size_t(std::max(length, 1))));
            if (IsSplitIdeograph(code)) Flush(word, spaceBefore);
            pos += std::size_t(std::max(length, 1));
        }
        if (white) {
            Flush(word, spaceBefore);
            spaceBefore = true;
            white = false;
        }
    }
    if (pos >= text_.size()) return false;
    Flush(word, spaceBefore);
    close(0);
    // An element without text in a cell with text may take a line of its own.
    irregular = irregular || (emptyElement && hasText);
    cell.shape = shapes_(shape);
    return true;
}

bool TTableScan::TReader::Reference(std::size_t& pos, std::string& word, bool& white) const {
    std::size_t p = pos + 1;
    if (p < text_.size() && text_[p] == '#') {
        const bool hex = p + 1 < text_.size() && Lower(text_[p + 1]) == 'x';
        p += hex ? 2 : 1;
        char32_t code = 0;
        const std::size_t digits = p;
        for (; p < text_.size() &&
               (hex ? std::isxdigit(static_cast<unsigned char>(text_[p])) : IsDigit(text_[p]));
             ++p) {
            code = code * (hex ? 16 : 10) +
                   char32_t(IsDigit(text_[p]) ? text_[p] - '0' : Lower(text_[p]) - 'a' + 10);
            if (code > 0x10FFFF) break;
        }
        if (p == digits || p >= text_.size() || text_[p] != ';' || code > 0x10FFFF ||
            (code >= 0xD800 && code < 0xE000) || (code < 0x20 && !IsWhite(char(code))) ||
            (code >= 0x7F && code < 0xA0)) {
            ++pos;
            word += '&';
            return false;
        }
        pos = p + 1;
        if (code < 0x80 && IsWhite(char(code))) {
            white = true;
        } else {
            AppendUtf8(word, code);
        }
        return true;
    }
    if (p >= text_.size() || !IsAlnum(text_[p])) {
        ++pos;
        word += '&';
        return true;
    }
    std::size_t q = p;
    while (q < text_.size() && IsAlnum(text_[q])) ++q;
    const std::string_view name = text_.substr(p, q - p);
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kNamed = {{
        {"amp", "&"},
        {"lt", "<"},
        {"gt", ">"},
        {"quot", "\""},
        {"nbsp", "\xC2\xA0"},
        {"apos", "'"},
    }};
    const bool semicolon = q < text_.size() && text_[q] == ';';
    for (const auto& [n, value] : kNamed) {
        // Without its semicolon only the old entities count, apos not among them.
        if (n == name && (semicolon || n != "apos")) {
            word.append(value);
            pos = q + (semicolon ? 1 : 0);
            return true;
        }
    }
    ++pos;
    word += '&';
    return false;
}

std::optional<TTableScan> TTableScan::Recognise(std::string text) {
    // Offsets are kept in 32 bits.
    if (text.size() >= 0xFFFFFFF0u) return std::nullopt;
    TTableScan scan;
    scan.text_ = std::move(text);
    TReader reader(scan.text_, &scan, nullptr);
    if (!reader.Page()) return std::nullopt;
    return scan;
}

void TTableScan::Words(const TCell& cell, const TWordSink& sink) const {
    TReader reader(text_, nullptr, &sink);
    const TTag tag = ReadTag(text_, cell.begin);
    TCell scratch;
    bool irregular = false;
    std::size_t end = 0;
    reader.Content(tag.next, tag.name, scratch, irregular, end);
}

}  // namespace kavrel
