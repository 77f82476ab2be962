#include "net/mail/email_address.h"

#include <string_view>

#include "base/strings.h"

namespace kavrel {
namespace {

void TrimInPlace(std::string& s) {
    while (!s.empty() && IsBlank(s.back())) s.pop_back();
    std::size_t lead = 0;
    while (lead < s.size() && IsBlank(s[lead])) ++lead;
    s.erase(0, lead);
}

// The parser's state between two stop characters. The remaining text is a view that only
// ever shrinks from the front, so a long header costs linear time, not quadratic.
struct TAddressParse {
    std::string& address;
    std::string& name;
    std::string_view r;  // the text not yet looked at
    bool inQuote = false;
    bool inAddress = false;
    bool angleAddress = false;
    bool afterAt = false;
    int depth = 0;

    std::size_t NextStop() const {
        std::string_view set = "(\"< @\t";
        if (depth > 0)
            set = "()\\";
        else if (inQuote)
            set = "\"\\";
        else if (afterAt && angleAddress)
            set = ".>(";
        else if (afterAt)
            set = ".( ";
        else if (inAddress)
            set = "\"(@>";
        return r.find_first_of(set);
    }

    void Act(std::size_t p) {
        const char c = r[p];
        const std::string_view before = r.substr(0, p);
        const std::string_view through = r.substr(0, p + 1);
        std::string_view after = r.substr(p + 1);
        switch (c) {
            case ' ':
            case '\t':
                if (p == 0) {
                    r.remove_prefix(1);
                    return;
                }
                if (afterAt)
                    address += Trim(before);
                else
                    name += through;
                break;
            case '(':
                ++depth;
                if (p == 0) {
                    r.remove_prefix(1);
                    return;
                }
                if (inAddress)
                    address += Trim(before);
                else if (depth == 1)
                    name += before;
                break;
            case ')':
                --depth;  // the comment's text is dropped
                break;
            case '"':
                if (!inQuote) {
                    // Drops the first character of the rest, which need not be this quote.
                    inQuote = true;
                    r.remove_prefix(1);
                    return;
                }
                (angleAddress ? address : name) += Trim(before);
                inQuote = false;
                break;
            case '<':
                name += before;
                TrimInPlace(name);
                angleAddress = true;
                inAddress = true;
                break;
            case '>':
                inAddress = false;
                afterAt = false;
                address += Trim(before);
                break;
            case '@':
                afterAt = true;
                if (!inAddress && angleAddress) throw EEmailParseError("@ Outside address");
                inAddress = true;
                address += through;
                break;
            case '.':
                if (angleAddress) {
                    address += Trim(before);
                    address += '.';
                    while (!after.empty() && IsBlank(after.front())) after.remove_prefix(1);
                } else {
                    address += through;
                }
                break;
            case '\\': {
                // The backslash protects the next character, which may be missing at the end.
                const std::string_view escaped = after.substr(0, 1);
                if (inQuote) {
                    std::string& target = inAddress ? address : name;
                    target += before;
                    target += escaped;
                }
                after.remove_prefix(escaped.size());
                break;
            }
        }
        r = after;
    }
};

}  // namespace

void TEMailAddressItem::Text(const std::string& text) {
    Address.clear();
    Name.clear();
    const std::string trimmed = Trim(text);
    TAddressParse parse{Address, Name, trimmed};
    if (parse.r.empty()) return;
    std::size_t p = parse.NextStop();
    if (p == std::string::npos) {
        Address = trimmed;
        return;
    }
    // Every action shortens the remaining text, so the loop ends.
    while (p != std::string::npos) {
        parse.Act(p);
        p = parse.NextStop();
    }
    if (parse.inAddress && !parse.angleAddress) Address += Trim(parse.r);
}

void SplitAddressList(TEMailAddressList& list, const std::string& text) {
    list.clear();
    const std::string value = Trim(text);
    if (value.empty()) return;

    auto add = [&list](std::string_view piece) {
        TEMailAddressItem item;
        item.Text(TrimLeft(piece));
        if (!item.Address.empty() || !item.Name.empty()) list.push_back(std::move(item));
    };
    if (value.find_first_of(":;(\", \t") == std::string::npos) {
        add(value);
        return;
    }

    bool inQuote = false;
    bool inGroup = false;
    int depth = 0;
    std::string piece;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            piece += c;
            piece += value[++i];
            continue;
        }
        const bool outside = !inQuote && depth == 0;
        if (c == '"' && depth == 0)
            inQuote = !inQuote;
        else if (c == '(' && !inQuote)
            ++depth;
        else if (c == ')' && !inQuote && depth > 0)
            --depth;

        if (outside && c == ',') {
            add(piece);
            piece.clear();
        } else if (outside && c == ':' && !inGroup) {
            inGroup = true;  // the group's label is not an address
            piece.clear();
        } else if (outside && c == ';' && inGroup) {
            inGroup = false;
            add(piece);
            piece.clear();
        } else {
            piece += c;
        }
    }
    add(piece);
}

}  // namespace kavrel
