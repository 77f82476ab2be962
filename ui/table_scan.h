#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Recognises a page that is one table of rows and nothing else, as the message page is, and
// cuts it into rows and cells at the text level, so that any set of its rows can be laid out
// on its own. Only markup whose parse cannot reach outside its cell is accepted; anything
// else leaves the page to be laid out whole.
namespace kavrel {

class TTableScan {
  public:
    struct TCell {
        std::uint32_t begin = 0;  // from "<td" ...
        std::uint32_t end = 0;    // ... to the end of its content or its end tag
        std::uint16_t column = 0;
        std::uint16_t span = 1;
        std::int32_t chain = -1;  // font chain of all its text; -1 when it holds none
        std::int32_t shape = 0;   // its markup without the text
        std::int32_t width = -1;  // its width attribute, interned; -1 without one
    };

    struct TRow {
        std::uint32_t begin = 0;  // from "<tr" to the next row or the end of the table
        std::uint32_t end = 0;
        std::uint32_t firstCell = 0;
        std::uint32_t cellCount = 0;
        std::int32_t shape = 0;
        // Laid out by the engine wherever the table is: a cell spans columns, or its text
        // is not one plain run of words in one font.
        bool spanning = false;
        bool irregular = false;
        bool Plain() const { return !spanning && !irregular; }
    };

    // One word of a cell, decoded; spaceBefore: white space separates it from the word
    // before it in the same cell.
    using TWordSink = std::function<void(std::string_view word, bool spaceBefore)>;

    // The scan of text, or nothing when the page is not such a table.
    static std::optional<TTableScan> Recognise(std::string text);

    const std::string& Text() const { return text_; }
    std::string_view Prefix() const { return std::string_view(text_).substr(0, prefixEnd_); }
    std::string_view Suffix() const { return std::string_view(text_).substr(suffixBegin_); }
    std::string_view Span(std::uint32_t begin, std::uint32_t end) const {
        return std::string_view(text_).substr(begin, end - begin);
    }

    const std::vector<TRow>& Rows() const { return rows_; }
    const std::vector<TCell>& Cells() const { return cells_; }
    const TCell& Cell(const TRow& row, std::uint32_t i) const { return cells_[row.firstCell + i]; }
    int Columns() const { return columns_; }
    // The cell tag and inline start tags around the text of a chain, as markup.
    const std::vector<std::string>& Chains() const { return chains_; }

    // The words of a plain cell in order.
    void Words(const TCell& cell, const TWordSink& sink) const;

  private:
    class TReader;
    TTableScan() = default;

    std::string text_;
    std::uint32_t prefixEnd_ = 0;
    std::uint32_t suffixBegin_ = 0;
    std::vector<TRow> rows_;
    std::vector<TCell> cells_;
    std::vector<std::string> chains_;
    int columns_ = 0;
};

}  // namespace kavrel
