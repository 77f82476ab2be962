#include "base/json.h"

#include <charconv>
#include <cstdint>
#include <string>
#include <system_error>
#include <unordered_set>

#include "base/integer.h"
#include "base/text_encoding.h"

namespace kavrel {
namespace {

class TJSONReader {
  public:
    explicit TJSONReader(std::string_view text) : text_(text) {}

    TJSONValue Document() {
        if (text_.size() > kMaxJSONBytes) {
            throw EJSONError("JSON: the text is larger than " +
                             std::to_string(kMaxJSONBytes >> 10) + " KB");
        }
        SkipBlanks();
        TJSONValue value = Value(0);
        SkipBlanks();
        if (at_ != text_.size()) Fail("text after the value");
        return value;
    }

  private:
    [[noreturn]] void Fail(const char* what) const {
        throw EJSONError(std::string("JSON: ") + what + " at byte " + std::to_string(at_));
    }

    bool AtEnd() const { return at_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[at_]; }

    void SkipBlanks() {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r'))
            ++at_;
    }

    void Take(char c, const char* what) {
        if (AtEnd() || text_[at_] != c) Fail(what);
        ++at_;
    }

    TJSONValue Value(std::size_t depth) {
        if (AtEnd()) Fail("a value is missing");
        switch (Peek()) {
            case '{':
                return Object(depth + 1);
            case '[':
                return Array(depth + 1);
            case '"':
                return TJSONValue(String());
            case 't':
                return Literal("true", TJSONValue(true));
            case 'f':
                return Literal("false", TJSONValue(false));
            case 'n':
                return Literal("null", TJSONValue());
            default:
                return Number();
        }
    }

    TJSONValue Literal(std::string_view word, TJSONValue value) {
        if (text_.substr(at_, word.size()) != word) Fail("an unknown word");
        at_ += word.size();
        return value;
    }

    TJSONValue Object(std::size_t depth) {
        if (depth > kMaxJSONDepth) Fail("nesting too deep");
        ++at_;
        TJSONValue::TMembers members;
        std::unordered_set<std::string> names;
        SkipBlanks();
        if (Peek() == '}') {
            ++at_;
            return TJSONValue::Object(std::move(members));
        }
        for (;;) {
            SkipBlanks();
            if (Peek() != '"') Fail("a name was expected");
            const std::size_t nameAt = at_;
            std::string name = String();
            // Two values under one name would let two readers of one answer disagree.
            if (!names.insert(name).second) {
                at_ = nameAt;
                Fail("a repeated name");
            }
            SkipBlanks();
            Take(':', "':' was expected");
            SkipBlanks();
            TJSONValue value = Value(depth);
            members.emplace_back(std::move(name), std::move(value));
            SkipBlanks();
            if (Peek() == '}') {
                ++at_;
                return TJSONValue::Object(std::move(members));
            }
            Take(',', "',' or '}' was expected");
        }
    }

    TJSONValue Array(std::size_t depth) {
        if (depth > kMaxJSONDepth) Fail("nesting too deep");
        ++at_;
        std::vector<TJSONValue> items;
        SkipBlanks();
        if (Peek() == ']') {
            ++at_;
            return TJSONValue::Array(std::move(items));
        }
        for (;;) {
            SkipBlanks();
            items.push_back(Value(depth));
            SkipBlanks();
            if (Peek() == ']') {
                ++at_;
                return TJSONValue::Array(std::move(items));
            }
            Take(',', "',' or ']' was expected");
        }
    }

    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

    void Digits() {
        if (!IsDigit(Peek())) Fail("a digit was expected");
        while (IsDigit(Peek())) ++at_;
    }

    TJSONValue Number() {
        const std::size_t start = at_;
        if (Peek() == '-') ++at_;
        if (Peek() == '0') {
            ++at_;
            if (IsDigit(Peek())) Fail("a number with a leading zero");
        } else if (IsDigit(Peek())) {
            Digits();
        } else {
            Fail(at_ == start ? "an unexpected character" : "a digit was expected");
        }
        if (Peek() == '.') {
            ++at_;
            Digits();
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++at_;
            if (Peek() == '+' || Peek() == '-') ++at_;
            Digits();
        }
        double value = 0;
        const char* first = text_.data() + start;
        const char* last = text_.data() + at_;
        const auto [end, error] = std::from_chars(first, last, value);
        if (error != std::errc() || end != last) {
            at_ = start;
            Fail("a number out of range");
        }
        return TJSONValue(value);
    }

    unsigned Hex4() {
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = HexDigitValue(Peek());
            if (digit < 0) Fail("four hexadecimal digits were expected");
            code = code * 16 + static_cast<unsigned>(digit);
            ++at_;
        }
        return code;
    }

    // After the backslash and the 'u'. A surrogate only counts as half of a pair: alone it
    // names no character and has no UTF-8 form.
    void Escape(std::string& out) {
        const std::size_t start = at_ - 2;
        std::uint32_t code = Hex4();
        if (code >= 0xDC00 && code <= 0xDFFF) {
            at_ = start;
            Fail("a lone low surrogate");
        }
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (text_.substr(at_, 2) != "\\u") {
                at_ = start;
                Fail("a high surrogate without its low half");
            }
            at_ += 2;
            const std::uint32_t low = Hex4();
            if (low < 0xDC00 || low > 0xDFFF) {
                at_ = start;
                Fail("a high surrogate without its low half");
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(out, code);
    }

    std::string String() {
        ++at_;
        std::string out;
        for (;;) {
            if (AtEnd()) Fail("an unterminated string");
            const auto c = static_cast<unsigned char>(text_[at_]);
            if (c == '"') {
                ++at_;
                return out;
            }
            if (c < 0x20) Fail("a control character in a string");
            if (c >= 0x80) {
                const std::size_t length = Utf8SequenceLength(text_, at_);
                if (length == 0) Fail("a byte that is not UTF-8");
                out.append(text_.substr(at_, length));
                at_ += length;
                continue;
            }
            ++at_;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            const char e = Peek();
            ++at_;
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u':
                    Escape(out);
                    break;
                default:
                    --at_;
                    Fail("an unknown escape");
            }
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

[[noreturn]] void WrongKind(const char* expected) {
    throw EJSONError(std::string("JSON: ") + expected + " was expected");
}

}  // namespace

TJSONValue TJSONValue::Array(std::vector<TJSONValue> items) {
    TJSONValue value;
    value.kind_ = TKind::Array;
    value.items_ = std::move(items);
    return value;
}

TJSONValue TJSONValue::Object(TMembers members) {
    TJSONValue value;
    value.kind_ = TKind::Object;
    value.members_ = std::move(members);
    return value;
}

bool TJSONValue::AsBool() const {
    if (kind_ != TKind::Boolean) WrongKind("true or false");
    return boolean_;
}

double TJSONValue::AsNumber() const {
    if (kind_ != TKind::Number) WrongKind("a number");
    return number_;
}

const std::string& TJSONValue::AsString() const {
    if (kind_ != TKind::String) WrongKind("a string");
    return string_;
}

const std::vector<TJSONValue>& TJSONValue::Items() const {
    if (kind_ != TKind::Array) WrongKind("an array");
    return items_;
}

const TJSONValue::TMembers& TJSONValue::Members() const {
    if (kind_ != TKind::Object) WrongKind("an object");
    return members_;
}

const TJSONValue* TJSONValue::Find(std::string_view name) const {
    for (const auto& [key, value] : members_)
        if (key == name) return &value;
    return nullptr;
}

const std::string* TJSONValue::FindString(std::string_view name) const {
    const TJSONValue* value = Find(name);
    return value && value->Kind() == TKind::String ? &value->AsString() : nullptr;
}

TJSONValue ParseJSON(std::string_view text) { return TJSONReader(text).Document(); }

}  // namespace kavrel
