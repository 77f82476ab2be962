#include "ui/table_layout.h"

#include <litehtml/el_text.h>

#include <QPainter>

#include <algorithm>
#include <climits>
#include <functional>
#include <unordered_map>

namespace kavrel {
namespace {

// Rows every document carries; a table needing more is laid out whole.
constexpr std::size_t kMaxPrefix = 48;
// A slice made for the view: the rows asked for and a few beyond, at most this many.
constexpr int kSliceRows = 64;
constexpr int kSliceExtra = 6;
// Rows kept laid out away from the view.
constexpr int kKeptRows = 400;

void Walk(const litehtml::element::ptr& el,
          const std::function<bool(const litehtml::element::ptr&)>& f) {
    if (!f(el)) return;
    for (std::size_t i = 0; i < el->get_children_count(); ++i) Walk(el->get_child(int(i)), f);
}

}  // namespace

std::unique_ptr<TTableLayout> TTableLayout::Create(TPageEngine& engine, const std::string& text) {
    std::optional<TTableScan> scan = TTableScan::Recognise(text);
    if (!scan) return nullptr;
    std::unique_ptr<TTableLayout> layout(new TTableLayout(engine, std::move(*scan)));
    if (!layout->Measure()) return nullptr;
    return layout;
}

TTableLayout::TTableLayout(TPageEngine& engine, TTableScan scan)
    : engine_(engine), scan_(std::move(scan)) {}

TTableLayout::~TTableLayout() = default;

bool TTableLayout::Measure() {
    const auto& rows = scan_.Rows();
    // The font of each chain, as the engine picks it for a word inside that markup.
    std::vector<QFontMetrics> fonts;
    if (!scan_.Chains().empty()) {
        std::string probe(scan_.Prefix());
        probe += "<tr>";
        for (const std::string& chain : scan_.Chains()) {
            probe += chain + "x</" + chain.substr(1, 2) + ">";
        }
        probe += "</tr>";
        probe += scan_.Suffix();
        const auto document = engine_.Parse(probe);
        Walk(document->root(), [&](const litehtml::element::ptr& el) {
            if (dynamic_cast<const litehtml::el_text*>(el.get()) && !el->is_white_space()) {
                if (const auto font = engine_.container.FontPtr(el->get_font())) {
                    fonts.push_back(font->metrics);
                }
            }
            return true;
        });
        if (fonts.size() != scan_.Chains().size()) return false;
    }
    metrics_ = std::make_unique<TTableMetrics>(scan_, fonts);

    inPrefix_.assign(rows.size(), false);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (r == 0 || !rows[r].Plain() || metrics_->Unsure(r)) {
            inPrefix_[r] = true;
            prefix_.push_back(int(r));
        }
    }
    if (prefix_.size() > kMaxPrefix) return false;

    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (!Plain(r)) continue;
        for (std::uint32_t i = 0; i < rows[r].cellCount; ++i) {
            const std::uint32_t c = rows[r].firstCell + i;
            const std::size_t column = scan_.Cells()[c].column;
            if (widestMin_.size() <= column) {
                widestMin_.resize(column + 1, c);
                widestMax_.resize(column + 1, c);
            }
            if (metrics_->MinWidth(c) > metrics_->MinWidth(widestMin_[column])) {
                widestMin_[column] = c;
            }
            if (metrics_->MaxWidth(c) > metrics_->MaxWidth(widestMax_[column])) {
                widestMax_[column] = c;
            }
        }
    }
    return true;
}

std::shared_ptr<litehtml::document> TTableLayout::Lay(const std::vector<int>& rows) const {
    std::string text(scan_.Prefix());
    for (const int r : rows) {
        if (r >= 0) {
            const TTableScan::TRow& row = scan_.Rows()[std::size_t(r)];
            text += scan_.Span(row.begin, row.end);
            continue;
        }
        text += "<tr>";
        for (const std::uint32_t c : r == kWidestMin ? widestMin_ : widestMax_) {
            text += scan_.Span(scan_.Cells()[c].begin, scan_.Cells()[c].end);
        }
        text += "</tr>";
    }
    text += scan_.Suffix();
    auto document = engine_.Parse(text);
    document->render(width_);
    return document;
}

std::vector<TTableLayout::TPlacedRow> TTableLayout::Placed(litehtml::document& document) const {
    std::vector<TPlacedRow> rows;
    Walk(document.root(), [&](const litehtml::element::ptr& el) {
        if (!IsTag(*el, "tr")) return true;
        TPlacedRow row;
        for (std::size_t i = 0; i < el->get_children_count(); ++i) {
            const litehtml::element::ptr cell = el->get_child(int(i));
            if (cell->get_display() != litehtml::display_table_cell) continue;
            const litehtml::position p = cell->get_placement();
            const litehtml::margins pad = cell->get_paddings();
            const litehtml::margins border = cell->get_borders();
            const int top = p.y - pad.top - border.top;
            const int height = p.height + pad.top + pad.bottom + border.top + border.bottom;
            if (row.cells.empty()) row.top = top, row.height = height;
            row.top = std::min(row.top, top);
            row.height = std::max(row.height, height);
            row.cells.emplace_back(p.x - pad.left - border.left,
                                   p.width + pad.left + pad.right + border.left + border.right);
            row.content.push_back(p.width);
        }
        rows.push_back(std::move(row));
        return false;
    });
    return rows;
}

void TTableLayout::Render(int width) {
    width_ = std::max(1, width);
    slices_.clear();
    const std::size_t n = scan_.Rows().size();
    sliceOf_.assign(n, 0);
    height_.assign(n, 0);
    top_.assign(n + 1, 0);
    hovered_ = 0;
    allValid_ = false;
    all_.clear();
    const bool plain = prefix_.size() < n;

    // The columns, as the prefix and the widest cells fix them.
    std::vector<int> model = prefix_;
    if (plain) model.insert(model.end(), {kWidestMin, kWidestMax});
    std::shared_ptr<litehtml::document> document = Lay(model);
    std::vector<TPlacedRow> placed = Placed(*document);
    if (placed.size() != model.size()) return void(failed_ = true);
    columnLeft_.clear();
    columnWidth_.clear();
    columnContent_.clear();
    if (plain) {
        const TPlacedRow& widest = placed.back();
        for (std::size_t c = 0; c < widest.cells.size(); ++c) {
            columnLeft_.push_back(widest.cells[c].first);
            columnWidth_.push_back(widest.cells[c].second);
            columnContent_.push_back(widest.content[c]);
        }
    }

    // Rows whose cells take the same lines in the same markup are equally high: one of each
    // kind is laid out.
    std::vector<int> kindOf(n, -1);
    std::unordered_map<std::string, int> kinds;
    std::vector<int> samples;
    std::string key;
    for (std::size_t r = 0; r < n; ++r) {
        if (!Plain(r)) continue;
        const TTableScan::TRow& row = scan_.Rows()[r];
        key = std::to_string(row.shape);
        for (std::uint32_t c = row.firstCell; c < row.firstCell + row.cellCount; ++c) {
            key += ',';
            key += std::to_string(metrics_->Lines(c, columnContent_[scan_.Cells()[c].column]));
        }
        const auto [it, added] = kinds.try_emplace(key, int(samples.size()));
        if (added) samples.push_back(int(r));
        kindOf[r] = it->second;
    }
    if (!samples.empty()) {
        model.insert(model.end(), samples.begin(), samples.end());
        document = Lay(model);
        placed = Placed(*document);
        if (placed.size() != model.size()) return void(failed_ = true);
    }

    // Rows follow each other at one spacing.
    int spacing = 0;
    for (std::size_t i = 1; i < placed.size(); ++i) {
        const int gap = placed[i].top - placed[i - 1].top - placed[i - 1].height;
        if (i > 1 && gap != spacing) return void(failed_ = true);
        spacing = gap;
    }
    for (std::size_t i = 0; i < prefix_.size(); ++i) {
        height_[std::size_t(prefix_[i])] = placed[i].height;
    }
    const std::size_t firstSample = model.size() - samples.size();
    for (std::size_t r = 0; r < n; ++r) {
        if (kindOf[r] >= 0) height_[r] = placed[firstSample + std::size_t(kindOf[r])].height;
    }
    top_.assign(n + 1, placed.front().top);
    for (std::size_t r = 0; r < n; ++r) top_[r + 1] = top_[r] + height_[r] + spacing;
    const int tail = document->height() - placed.back().top - placed.back().height;
    pageWidth_ = document->width();
    pageHeight_ = top_[n] - spacing + tail;

    prefixBoxes_.assign(prefix_.size(), {});
    for (TTextBox& box : CollectBoxes(*document, engine_.container)) {
        if (box.row < 0 || std::size_t(box.row) >= prefix_.size()) continue;
        const int row = prefix_[std::size_t(box.row)];
        box.rect.translate(0, top_[std::size_t(row)] - placed[std::size_t(box.row)].top);
        std::vector<TTextBox>& list = prefixBoxes_[std::size_t(box.row)];
        box.row = row;
        list.push_back(std::move(box));
    }
}

int TTableLayout::ChunkAt(int y) const {
    const auto it = std::upper_bound(top_.begin(), top_.end() - 1, y);
    return std::clamp(int(it - top_.begin()) - 1, 0, Rows() - 1);
}

std::pair<int, int> TTableLayout::ChunkSpan(int row) const {
    return {top_[std::size_t(row)], top_[std::size_t(row)] + height_[std::size_t(row)]};
}

// Lays out the rows in [first, last) that no slice shows yet, with a few more on each side.
std::uint64_t TTableLayout::Cover(int first, int last) {
    first = std::clamp(first, 0, Rows());
    last = std::clamp(last, first, Rows());
    for (int r = first; r < last; ++r) {
        if (sliceOf_[std::size_t(r)]) continue;
        int begin = r;
        int end = r;
        const auto free = [&](int row) {
            return row >= 0 && row < Rows() && !sliceOf_[std::size_t(row)];
        };
        while (end < last && free(end) && end - r < kSliceRows) ++end;
        for (int i = 0; i < kSliceExtra && free(begin - 1); ++i) --begin;
        for (int i = 0; i < kSliceExtra && free(end); ++i) ++end;
        Make(begin, end);
        r = end - 1;
    }
    return last > first ? sliceOf_[std::size_t(first)] : 0;
}

TTableLayout::TSlice* TTableLayout::Make(int first, int last) {
    // One row more on each side, so that what a row paints past its edge is painted too.
    const int lo = std::max(0, first - 1);
    const int hi = std::min(Rows(), last + 1);
    const bool widest = prefix_.size() < std::size_t(Rows()) && (lo > 0 || hi < Rows());
    std::vector<int> rows;
    for (const int p : prefix_) {
        if (p < lo) rows.push_back(p);
    }
    // The widest rows go where they cannot show: above, unless the slice starts the table.
    if (widest && lo > 0) rows.insert(rows.end(), {kWidestMin, kWidestMax});
    const std::size_t at = rows.size() + std::size_t(first - lo);
    for (int r = lo; r < hi; ++r) rows.push_back(r);
    if (widest && lo == 0) rows.insert(rows.end(), {kWidestMin, kWidestMax});
    for (const int p : prefix_) {
        if (p >= hi) rows.push_back(p);
    }

    auto slice = std::make_unique<TSlice>();
    slice->id = nextId_++;
    slice->first = first;
    slice->last = last;
    slice->document = Lay(rows);
    const std::vector<TPlacedRow> placed = Placed(*slice->document);
    if (placed.size() != rows.size()) {
        failed_ = true;
        return nullptr;
    }
    slice->dy = top_[std::size_t(first)] - placed[at].top;
    // Any row not where the whole table has it means a width or height was guessed wrong.
    bool same = slice->document->width() == pageWidth_;
    for (int r = lo; r < hi; ++r) {
        const TPlacedRow& p = placed[at + std::size_t(r - first)];
        same = same && p.top + slice->dy == top_[std::size_t(r)] &&
               p.height == height_[std::size_t(r)];
        if (!Plain(std::size_t(r))) continue;
        const TTableScan::TRow& row = scan_.Rows()[std::size_t(r)];
        for (std::uint32_t i = 0; i < row.cellCount && same; ++i) {
            const std::size_t column = scan_.Cell(row, i).column;
            same = i < p.cells.size() && p.cells[i].first == columnLeft_[column] &&
                   p.cells[i].second == columnWidth_[column];
        }
    }
    if (hi == Rows() && rows.back() == Rows() - 1) {
        same = same && slice->document->height() + slice->dy == pageHeight_;
    }
    if (!same) failed_ = true;

    slice->boxes.resize(std::size_t(last - first));
    for (TTextBox& box : CollectBoxes(*slice->document, engine_.container)) {
        const int k = box.row - int(at);
        if (box.row < 0 || k < 0 || k >= last - first) continue;
        box.row = first + k;
        box.rect.translate(0, slice->dy);
        slice->boxes[std::size_t(k)].push_back(std::move(box));
    }
    for (int r = first; r < last; ++r) sliceOf_[std::size_t(r)] = slice->id;
    slice->used = ++clock_;
    slices_.push_back(std::move(slice));
    return slices_.back().get();
}

TTableLayout::TSlice* TTableLayout::Find(std::uint64_t id) {
    for (const auto& s : slices_) {
        if (s->id == id) return s.get();
    }
    return nullptr;
}

void TTableLayout::Draw(QPainter& painter, const QRect& area, QPoint origin) {
    const int firstRow = ChunkAt(area.top());
    const int lastRow = ChunkAt(area.bottom());
    Cover(firstRow, lastRow + 1);
    for (const auto& slice : slices_) {
        if (slice->last <= firstRow || slice->first > lastRow) continue;
        const int top = slice->first == 0 ? INT_MIN / 2 : top_[std::size_t(slice->first)];
        const int bottom = slice->last == Rows() ? INT_MAX / 2 : top_[std::size_t(slice->last)];
        const QRect band = area & QRect(QPoint(area.left(), top), QPoint(area.right(), bottom - 1));
        if (band.isEmpty()) continue;
        const QRect device = band.translated(origin);
        const litehtml::position clip(device.x(), device.y(), device.width(), device.height());
        painter.save();
        painter.setClipRect(device, Qt::IntersectClip);
        slice->document->draw(TPageContainer::HandleOf(painter), origin.x(), origin.y() + slice->dy,
                              &clip);
        painter.restore();
        slice->used = ++clock_;
    }
}

const std::vector<TTextBox>& TTableLayout::Boxes(int row) {
    if (!sliceOf_[std::size_t(row)] && inPrefix_[std::size_t(row)]) {
        const auto it = std::lower_bound(prefix_.begin(), prefix_.end(), row);
        return prefixBoxes_[std::size_t(it - prefix_.begin())];
    }
    static const std::vector<TTextBox> kNone;
    TSlice* slice = Find(Cover(row, row + 1));
    return slice ? slice->boxes[std::size_t(row - slice->first)] : kNone;
}

std::vector<TTextBox> TTableLayout::TextBoxes(int row) {
    if (sliceOf_[std::size_t(row)] || inPrefix_[std::size_t(row)]) return Boxes(row);
    return Synthesize(row);
}

// The boxes a plain row would have, in reading order, each word on the line it would take.
std::vector<TTextBox> TTableLayout::Synthesize(int row) const {
    std::vector<TTextBox> boxes;
    const TTableScan::TRow& info = scan_.Rows()[std::size_t(row)];
    for (std::uint32_t c = info.firstCell; c < info.firstCell + info.cellCount; ++c) {
        const TTableScan::TCell& cell = scan_.Cells()[c];
        std::vector<std::pair<QString, bool>> words;
        scan_.Words(cell, [&](std::string_view word, bool spaceBefore) {
            words.emplace_back(QString::fromUtf8(word.data(), qsizetype(word.size())), spaceBefore);
        });
        int previousLine = -1;
        metrics_->ForEachLine(c, columnContent_[cell.column], [&](int i, int line) {
            TTextBox box;
            box.row = row;
            box.cell = box.block = int(c);
            box.rect = QRect(0, line, 1, 1);
            if (line == previousLine && words[std::size_t(i)].second) {
                box.text = QStringLiteral(" ");
                boxes.push_back(box);
            }
            box.text = words[std::size_t(i)].first;
            boxes.push_back(std::move(box));
            previousLine = line;
        });
    }
    return boxes;
}

const std::vector<TTextBox>& TTableLayout::AllBoxes() {
    if (allValid_) return all_;
    all_.clear();
    for (int r = 0; r < Rows(); ++r) {
        const auto& boxes = Boxes(r);
        all_.insert(all_.end(), boxes.begin(), boxes.end());
        if (r % kSliceRows == 0) Trim(top_[std::size_t(r)], top_[std::size_t(r)]);
    }
    allValid_ = true;
    return all_;
}

TTableLayout::TSlice* TTableLayout::SliceAt(int y) {
    const int row = ChunkAt(y);
    return Find(Cover(row, row + 1));
}

bool TTableLayout::HasText() {
    for (const auto& boxes : prefixBoxes_) {
        if (!boxes.empty()) return true;
    }
    for (std::size_t c = 0; c < scan_.Cells().size(); ++c) {
        if (metrics_->Lines(std::uint32_t(c), INT_MAX / 2) > 0) return true;
    }
    return false;
}

bool TTableLayout::MouseOver(QPoint page, QPoint client) {
    TSlice* slice = SliceAt(page.y());
    litehtml::position::vector redraw;
    bool changed = false;
    if (TSlice* before = Find(hovered_); before && before != slice) {
        changed = before->document->on_mouse_leave(redraw);
    }
    hovered_ = slice ? slice->id : 0;
    if (!slice) return changed;
    return slice->document->on_mouse_over(page.x(), page.y() - slice->dy, client.x(), client.y(),
                                          redraw) ||
           changed;
}

bool TTableLayout::ButtonDown(QPoint page, QPoint client) {
    TSlice* slice = SliceAt(page.y());
    litehtml::position::vector redraw;
    return slice && slice->document->on_lbutton_down(page.x(), page.y() - slice->dy, client.x(),
                                                     client.y(), redraw);
}

bool TTableLayout::ButtonUp(QPoint page, QPoint client) {
    TSlice* slice = SliceAt(page.y());
    litehtml::position::vector redraw;
    return slice && slice->document->on_lbutton_up(page.x(), page.y() - slice->dy, client.x(),
                                                   client.y(), redraw);
}

bool TTableLayout::MouseLeave() {
    TSlice* slice = Find(hovered_);
    hovered_ = 0;
    litehtml::position::vector redraw;
    return slice && slice->document->on_mouse_leave(redraw);
}

void TTableLayout::Trim(int top, int bottom) {
    const int firstRow = ChunkAt(top);
    const int lastRow = ChunkAt(bottom);
    int kept = 0;
    for (const auto& s : slices_) kept += s->last - s->first;
    while (kept > kKeptRows) {
        // The slice used least recently that the view does not show.
        auto oldest = slices_.end();
        for (auto it = slices_.begin(); it != slices_.end(); ++it) {
            const bool shown = (*it)->last > firstRow && (*it)->first <= lastRow;
            if (!shown && (oldest == slices_.end() || (*it)->used < (*oldest)->used)) oldest = it;
        }
        if (oldest == slices_.end()) break;
        kept -= (*oldest)->last - (*oldest)->first;
        for (int r = (*oldest)->first; r < (*oldest)->last; ++r) sliceOf_[std::size_t(r)] = 0;
        if ((*oldest)->id == hovered_) hovered_ = 0;
        slices_.erase(oldest);
    }
}

}  // namespace kavrel
