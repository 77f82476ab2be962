#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/page_layout.h"
#include "ui/table_metrics.h"
#include "ui/table_scan.h"

// A page that is one long table, laid out a few rows at a time. Every document it makes
// holds the rows that fix the table's columns (the heading, rows spanning columns, rows of
// mixed text, and two rows made of the widest cells of each column), so each shows its rows
// with the widths and heights the whole table gives them; the height of every other row
// follows from the lines its cells take, measured as the engine measures.
namespace kavrel {

class TTableLayout final : public TPageLayout {
  public:
    // The layout of text, or null when text is not such a table.
    static std::unique_ptr<TTableLayout> Create(TPageEngine& engine, const std::string& text);
    ~TTableLayout() override;

    void Render(int width) override;
    QSize Size() const override { return QSize(pageWidth_, pageHeight_); }
    void Draw(QPainter& painter, const QRect& area, QPoint origin) override;

    int ChunkCount() const override { return int(height_.size()); }
    int ChunkAt(int y) const override;
    std::pair<int, int> ChunkSpan(int row) const override;
    const std::vector<TTextBox>& Boxes(int row) override;
    std::vector<TTextBox> TextBoxes(int row) override;
    const std::vector<TTextBox>& AllBoxes() override;
    bool HasText() override;

    bool MouseOver(QPoint page, QPoint client) override;
    bool ButtonDown(QPoint page, QPoint client) override;
    bool ButtonUp(QPoint page, QPoint client) override;
    bool MouseLeave() override;

    void Trim(int top, int bottom) override;
    bool Failed() const override { return failed_; }

  private:
    // A run of rows laid out in a document of their own.
    struct TSlice {
        std::uint64_t id = 0;
        int first = 0;  // rows [first, last)
        int last = 0;
        int dy = 0;  // page y minus document y
        std::shared_ptr<litehtml::document> document;
        std::vector<std::vector<TTextBox>> boxes;  // per row, in page coordinates
        std::uint64_t used = 0;
    };
    // Where a document placed one of its rows and the columns of its cells.
    struct TPlacedRow {
        int top = 0;
        int height = 0;
        std::vector<std::pair<int, int>> cells;  // border box left and width
        std::vector<int> content;                // content width
    };
    static constexpr int kWidestMin = -1;  // the row of the cells with the widest words
    static constexpr int kWidestMax = -2;  // the row of the cells with the longest lines

    TTableLayout(TPageEngine& engine, TTableScan scan);
    bool Measure();
    std::shared_ptr<litehtml::document> Lay(const std::vector<int>& rows) const;
    std::vector<TPlacedRow> Placed(litehtml::document& document) const;
    bool Plain(std::size_t row) const { return !inPrefix_[row]; }
    int Rows() const { return int(height_.size()); }
    std::uint64_t Cover(int first, int last);
    TSlice* Make(int first, int last);
    TSlice* Find(std::uint64_t id);
    TSlice* SliceAt(int y);
    std::vector<TTextBox> Synthesize(int row) const;

    TPageEngine& engine_;
    TTableScan scan_;
    std::unique_ptr<TTableMetrics> metrics_;
    std::vector<int> prefix_;  // rows in every document, in order
    std::vector<bool> inPrefix_;
    std::vector<std::uint32_t> widestMin_;  // per column: the cell
    std::vector<std::uint32_t> widestMax_;

    int width_ = 1;
    std::vector<int> top_;  // one more than rows: where a next row would start
    std::vector<int> height_;
    std::vector<int> columnLeft_;  // plain cells' border boxes, as the widest cells have them
    std::vector<int> columnWidth_;
    std::vector<int> columnContent_;
    int pageWidth_ = 0;
    int pageHeight_ = 0;
    std::vector<std::vector<TTextBox>> prefixBoxes_;  // per prefix row

    std::vector<std::unique_ptr<TSlice>> slices_;
    std::vector<std::uint64_t> sliceOf_;  // per row: the slice showing it, 0 for none
    std::uint64_t nextId_ = 1;
    std::uint64_t clock_ = 0;
    std::uint64_t hovered_ = 0;
    std::vector<TTextBox> all_;
    bool allValid_ = false;
    bool failed_ = false;
};

}  // namespace kavrel
