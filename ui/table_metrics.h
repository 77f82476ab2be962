#pragma once

#include <QFontMetrics>

#include <cstdint>
#include <vector>

#include "ui/table_scan.h"

// The words of a table's plain rows measured as the engine measures them, and what the
// engine's layout makes of them: the narrowest and widest width of each cell, and the lines
// a cell takes at a given width.
namespace kavrel {

class TTableMetrics {
  public:
    // fonts: the font of each chain of the scan.
    TTableMetrics(const TTableScan& scan, const std::vector<QFontMetrics>& fonts);

    // A plain row holding a word of no width: the engine may lay that out as no line.
    bool Unsure(std::size_t row) const { return unsure_[row]; }
    int MinWidth(std::uint32_t cell) const { return min_[cell]; }
    int MaxWidth(std::uint32_t cell) const { return max_[cell]; }
    int Lines(std::uint32_t cell, int width) const;
    // Calls line(index of the word in the cell, line of the word from 0) for every word.
    template <typename F>
    void ForEachLine(std::uint32_t cell, int width, F&& line) const;

  private:
    std::vector<std::uint32_t> first_;  // first item of each cell; one more for the end
    std::vector<std::int32_t> items_;   // width * 2, plus 1 when white space comes before
    std::vector<std::int32_t> space_;   // per cell: width of a blank in its font
    std::vector<std::int32_t> min_;
    std::vector<std::int32_t> max_;
    std::vector<bool> unsure_;
};

// Greedy filling as the engine does it: a word goes on the line when it fits with the blank
// before it; a blank that does not fit is dropped at the break.
template <typename F>
void TTableMetrics::ForEachLine(std::uint32_t cell, int width, F&& line) const {
    int lines = 0;
    int x = 0;
    for (std::uint32_t i = first_[cell]; i < first_[cell + 1]; ++i) {
        const int w = items_[i] >> 1;
        const int need = x + ((items_[i] & 1) ? space_[cell] : 0) + w;
        if (lines == 0 || need > width) {
            ++lines;
            x = w;
        } else {
            x = need;
        }
        line(int(i - first_[cell]), lines - 1);
    }
}

}  // namespace kavrel
