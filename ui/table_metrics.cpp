#include "ui/table_metrics.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace kavrel {

TTableMetrics::TTableMetrics(const TTableScan& scan, const std::vector<QFontMetrics>& fonts) {
    const auto& cells = scan.Cells();
    first_.assign(cells.size() + 1, 0);
    space_.assign(cells.size(), 0);
    min_.assign(cells.size(), 0);
    max_.assign(cells.size(), 0);
    unsure_.assign(scan.Rows().size(), false);
    // Most words repeat from row to row; shaping is what costs.
    std::vector<std::unordered_map<std::string, int>> known(fonts.size());
    std::vector<int> blank(fonts.size(), -1);
    for (std::size_t r = 0; r < scan.Rows().size(); ++r) {
        const TTableScan::TRow& row = scan.Rows()[r];
        for (std::uint32_t c = row.firstCell; c < row.firstCell + row.cellCount; ++c) {
            first_[c] = std::uint32_t(items_.size());
            first_[c + 1] = first_[c];
            const std::int32_t chain = cells[c].chain;
            if (!row.Plain() || chain < 0) continue;
            const QFontMetrics& font = fonts[std::size_t(chain)];
            int& space = blank[std::size_t(chain)];
            if (space < 0) space = font.horizontalAdvance(QStringLiteral(" "));
            space_[c] = space;
            int line = 0;
            scan.Words(cells[c], [&](std::string_view word, bool spaceBefore) {
                auto [it, added] = known[std::size_t(chain)].try_emplace(std::string(word), 0);
                if (added) {
                    it->second = font.horizontalAdvance(
                        QString::fromUtf8(word.data(), qsizetype(word.size())));
                }
                const int w = it->second;
                unsure_[r] = unsure_[r] || w <= 0;
                const bool first = items_.size() == first_[c];
                line += (first ? 0 : spaceBefore ? space : 0) + w;
                min_[c] = std::max(min_[c], w);
                max_[c] = std::max(max_[c], line);
                items_.push_back(w * 2 + (spaceBefore ? 1 : 0));
            });
            first_[c + 1] = std::uint32_t(items_.size());
        }
    }
    first_[cells.size()] = std::uint32_t(items_.size());
}

int TTableMetrics::Lines(std::uint32_t cell, int width) const {
    int lines = 0;
    ForEachLine(cell, width, [&](int, int line) { lines = line + 1; });
    return lines;
}

}  // namespace kavrel
