#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A strict reader of JSON texts (RFC 8259), enough for the answers of web services: no
// extensions, no comments, UTF-8 only.
namespace kavrel {

// A text that is not one JSON value, or one beyond the reader's bounds. The message names the
// fault and its byte offset, never the text itself: answers carry tokens, and the message goes
// to the log.
class EJSONError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Deeper nesting or a longer text is refused before it can cost stack or memory.
constexpr std::size_t kMaxJSONDepth = 64;
constexpr std::size_t kMaxJSONBytes = std::size_t{1} << 20;

class TJSONValue {
  public:
    enum class TKind { Null, Boolean, Number, String, Array, Object };
    using TMembers = std::vector<std::pair<std::string, TJSONValue>>;

    TJSONValue() = default;
    explicit TJSONValue(bool value) : kind_(TKind::Boolean), boolean_(value) {}
    explicit TJSONValue(double value) : kind_(TKind::Number), number_(value) {}
    explicit TJSONValue(std::string value) : kind_(TKind::String), string_(std::move(value)) {}
    static TJSONValue Array(std::vector<TJSONValue> items);
    // Names are unique; the reader refuses an object that repeats one.
    static TJSONValue Object(TMembers members);

    TKind Kind() const { return kind_; }
    // Each raises EJSONError when the value is of another kind.
    bool AsBool() const;
    double AsNumber() const;
    const std::string& AsString() const;
    const std::vector<TJSONValue>& Items() const;
    const TMembers& Members() const;

    // The member named name; nullptr when there is none or this is no object.
    const TJSONValue* Find(std::string_view name) const;
    // The member named name when it is a string, else nullptr.
    const std::string* FindString(std::string_view name) const;

    friend bool operator==(const TJSONValue&, const TJSONValue&) = default;

  private:
    TKind kind_ = TKind::Null;
    bool boolean_ = false;
    double number_ = 0;
    std::string string_;
    std::vector<TJSONValue> items_;
    TMembers members_;
};

// The one value text holds, with blanks around it allowed. Strings come out as UTF-8 with every
// escape resolved. Raises EJSONError.
TJSONValue ParseJSON(std::string_view text);

}  // namespace kavrel
