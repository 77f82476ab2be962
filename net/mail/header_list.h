#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel {

// The field name of a header line: the text before its first colon, upper-cased, blanks
// kept ("Subject : x" is named "SUBJECT "); "" for a line without a colon.
std::string FieldNameOf(std::string_view line);

// Raw header lines in arrival order, each without its line end. Used for mail and HTTP headers.
class THeaderList {
  public:
    // Empty lines are not kept: the blank line ends a header and is never part of it.
    void Add(std::string line);
    void Clear();
    std::size_t Count() const { return lines_.size(); }
    const std::string& operator[](std::size_t i) const { return lines_[i]; }
    const std::vector<std::string>& Lines() const { return lines_; }

    // The value of the first line named name (any case), with the lines that continue it
    // (starting with a blank or TAB) joined by single spaces; "" when there is none.
    std::string HeaderValue(std::string_view name) const;

  private:
    struct TFirstLine {
        std::uint64_t hash;  // of the name
        std::size_t line;
        std::size_t nameLength;
    };
    std::string_view NameOf(const TFirstLine& f) const {
        return std::string_view(lines_[f.line]).substr(0, f.nameLength);
    }
    int Compare(const TFirstLine& f, std::uint64_t hash, std::string_view name) const;
    const std::vector<TFirstLine>& Index() const;

    std::vector<std::string> lines_;
    // The first line of each field name, ordered by the name's hash and then the name: one pass
    // over the lines per header instead of one per field read. Built by the first lookup after a
    // change, so a list is not to be read from two threads at once.
    mutable std::vector<TFirstLine> index_;
    mutable bool indexed_ = false;
};

}  // namespace kavrel
