#include "ui/page_viewer.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QUrl>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <tuple>

#include "base/text_encoding.h"
#include "ui/document_layout.h"
#include "ui/table_layout.h"

namespace kavrel {
namespace {

bool IsBlank(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

}  // namespace

TPageViewer::TPageViewer(QWidget* parent) : QAbstractScrollArea(parent) {
    // The engine reports clicks from inside its own mouse handling; the click is acted on
    // only after it has returned, because the handler may well replace the page.
    engine_.container.OnAnchorClick = [this](const std::string& url) { clickedLink_ = url; };
    engine_.container.OnCursor = [this](const std::string& cursor) { engineCursor_ = cursor; };
    engine_.container.SetDotsPerInch(logicalDpiY());
    viewport()->setMouseTracking(true);
    viewport()->setBackgroundRole(QPalette::Base);
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setSingleStep(20);
    horizontalScrollBar()->setSingleStep(20);
    LoadFromString("");
}

TPageViewer::~TPageViewer() = default;

void TPageViewer::LoadFromString(const std::string& page) {
    std::string text = ToUtf8(page);
    // Links, hovered or not, in one colour.
    const QColor link =
        linkColour_.isValid() ? linkColour_ : palette().color(QPalette::ToolTipText);
    const std::string linkColour = link.name().toStdString();
    // A check that found nothing new gives the same page again: it keeps the reader's place.
    if (layout_ && text == loadedText_ && linkColour == loadedLinkColour_) return;
    clickedLink_.reset();
    anchor_ = focus_ = TCaret{};
    selecting_ = dragged_ = false;
    engineCursor_ = "auto";
    layout_.reset();
    engine_.SetLinkColour(linkColour);
    engine_.container.SetClientSize(viewport()->size());
    layout_ = TTableLayout::Create(engine_, text);
    if (!layout_) layout_ = std::make_unique<TDocumentLayout>(engine_, text);
    loadedText_ = std::move(text);
    loadedLinkColour_ = linkColour;
    Relayout();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

QSize TPageViewer::PageSize() const { return layout_ ? layout_->Size() : QSize(); }

const std::vector<TTextBox>& TPageViewer::TextBoxes() const {
    static const std::vector<TTextBox> kNone;
    return layout_ ? layout_->AllBoxes() : kNone;
}

QFont TPageViewer::FontOf(const TTextBox& box) const { return box.font ? box.font->font : QFont(); }

void TPageViewer::Relayout() {
    if (!layout_) return;
    engine_.container.SetClientSize(viewport()->size());
    layout_->Render(std::max(1, viewport()->width()));
    if (layout_->Failed()) FallBack();
    UpdateScrollBars();
    viewport()->update();
}

void TPageViewer::FallBack() {
    layout_.reset();
    layout_ = std::make_unique<TDocumentLayout>(engine_, loadedText_);
    layout_->Render(std::max(1, viewport()->width()));
    anchor_ = focus_ = TCaret{};
    UpdateScrollBars();
}

void TPageViewer::UpdateScrollBars() {
    const QSize page = PageSize();
    const QSize view = viewport()->size();
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setRange(0, std::max(0, page.height() - view.height()));
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setRange(0, std::max(0, page.width() - view.width()));
}

QPoint TPageViewer::PageOffset() const {
    return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

int TPageViewer::AdvanceTo(const TTextBox& box, int offset) const {
    if (!box.font || offset <= 0) return 0;
    if (offset >= box.text.size()) return box.rect.width();
    return std::min(box.rect.width(), box.font->metrics.horizontalAdvance(box.text.left(offset)));
}

int TPageViewer::OffsetInBox(const TTextBox& box, int x) const {
    int best = 0;
    int bestDistance = INT_MAX;
    for (int i = 0; i <= box.text.size(); ++i) {
        // Never between the two halves of a surrogate pair.
        if (i > 0 && i < box.text.size() && box.text.at(i).isLowSurrogate()) continue;
        const int distance = std::abs(box.rect.left() + AdvanceTo(box, i) - x);
        if (distance < bestDistance) best = i, bestDistance = distance;
    }
    return best;
}

std::optional<TPageViewer::TCaret> TPageViewer::CaretAt(QPoint p) const {
    const auto horizontal = [&](const QRect& r) {
        return p.x() < r.left() ? r.left() - p.x() : p.x() > r.right() ? p.x() - r.right() : 0;
    };
    const auto vertical = [&](int top, int bottom) {
        return p.y() < top ? top - p.y() : p.y() > bottom ? p.y() - bottom : 0;
    };
    // The nearest box on the point's line, or failing one the nearest line; the first in
    // reading order of equals. Chunks lie one below the other, so the search can stop at
    // the first chunk farther away than the best box.
    std::tuple<int, int, int, int> best{INT_MAX, INT_MAX, INT_MAX, INT_MAX};
    const int start = layout_->ChunkAt(p.y());
    for (const int step : {-1, 1}) {
        for (int c = step < 0 ? start : start + 1; c >= 0 && c < layout_->ChunkCount(); c += step) {
            const auto [top, bottom] = layout_->ChunkSpan(c);
            if (vertical(top, bottom - 1) > std::get<0>(best)) break;
            const auto& boxes = layout_->Boxes(c);
            for (std::size_t i = 0; i < boxes.size(); ++i) {
                const QRect& r = boxes[i].rect;
                best = std::min(best, {vertical(r.top(), r.bottom()), horizontal(r), c, int(i)});
            }
        }
    }
    if (std::get<0>(best) == INT_MAX) return std::nullopt;
    const auto& boxes = layout_->Boxes(std::get<2>(best));
    const TTextBox& box = boxes[std::size_t(std::get<3>(best))];
    return TCaret{std::get<2>(best), std::get<3>(best), OffsetInBox(box, p.x())};
}

bool TPageViewer::HasSelection() const { return anchor_ != focus_; }

QString TPageViewer::SelectedText() const {
    if (!HasSelection()) return {};
    const TCaret from = std::min(anchor_, focus_);
    const TCaret to = std::max(anchor_, focus_);
    QString out;
    std::optional<TTextBox> previous;
    for (int c = from.chunk; c <= to.chunk; ++c) {
        // Only the ends need the words where the page shows them.
        const std::vector<TTextBox> boxes =
            c == from.chunk || c == to.chunk ? layout_->Boxes(c) : layout_->TextBoxes(c);
        const int first = c == from.chunk ? from.box : 0;
        const int last =
            c == to.chunk ? std::min(to.box, int(boxes.size()) - 1) : int(boxes.size()) - 1;
        for (int i = first; i <= last; ++i) {
            const TTextBox& box = boxes[std::size_t(i)];
            const bool isFrom = c == from.chunk && i == from.box;
            const bool isTo = c == to.chunk && i == to.box;
            const int start = isFrom ? from.offset : 0;
            const int end = isTo ? to.offset : int(box.text.size());
            if (start >= end) continue;
            if (previous) {
                if (box.row != previous->row) {
                    out += u'\n';
                } else if (box.cell != previous->cell) {
                    out += u'\t';
                } else if (box.block != previous->block || box.breakBefore) {
                    out += u'\n';
                } else if (box.rect.top() > previous->rect.top() && !IsBlank(box.text) &&
                           !IsBlank(previous->text)) {
                    out += u' ';  // a line wrapped at a blank that takes no room at the line end
                }
            }
            out += box.text.mid(start, end - start);
            previous = box;
        }
    }
    // The page's "&nbsp" copies as the blank it shows.
    out.replace(QChar(0x00A0), u' ');
    return out;
}

void TPageViewer::SelectAll() {
    for (int c = layout_->ChunkCount() - 1; c >= 0; --c) {
        const auto& boxes = layout_->Boxes(c);
        if (boxes.empty()) continue;
        anchor_ = TCaret{};
        focus_ = TCaret{c, int(boxes.size()) - 1, int(boxes.back().text.size())};
        PublishSelection();
        viewport()->update();
        return;
    }
}

void TPageViewer::ClearSelection() {
    anchor_ = focus_;
    viewport()->update();
}

void TPageViewer::CopyToClipboard() const {
    if (HasSelection()) QGuiApplication::clipboard()->setText(SelectedText());
}

void TPageViewer::PublishSelection() const {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (HasSelection() && clipboard->supportsSelection()) {
        clipboard->setText(SelectedText(), QClipboard::Selection);
    }
}

std::unique_ptr<QMenu> TPageViewer::CreateContextMenu() {
    auto menu = std::make_unique<QMenu>();
    QAction* copy = menu->addAction(tr("&Copy"), this, [this] { CopyToClipboard(); });
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(HasSelection());
    menu->addSeparator();
    QAction* all = menu->addAction(tr("Select &All"), this, [this] { SelectAll(); });
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(layout_->HasText());
    return menu;
}

void TPageViewer::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect area = event->rect();
    const QPoint offset = PageOffset();
    for (int attempt = 0; attempt < 2; ++attempt) {
        painter.fillRect(area, palette().color(QPalette::Base));
        layout_->Draw(painter, area.translated(offset), -offset);
        if (!layout_->Failed()) break;
        FallBack();
    }
    PaintSelection(painter);
    const QRect view = viewport()->rect().translated(offset);
    layout_->Trim(view.top(), view.bottom());
}

void TPageViewer::PaintSelection(QPainter& painter) const {
    if (!HasSelection()) return;
    const TCaret from = std::min(anchor_, focus_);
    const TCaret to = std::max(anchor_, focus_);
    const QPoint offset = PageOffset();
    const QColor back = palette().color(QPalette::Highlight);
    const QColor fore = palette().color(QPalette::HighlightedText);
    const int firstShown = layout_->ChunkAt(offset.y());
    const int lastShown = layout_->ChunkAt(offset.y() + viewport()->height());
    for (int c = std::max(from.chunk, firstShown); c <= std::min(to.chunk, lastShown); ++c) {
        const auto& boxes = layout_->Boxes(c);
        const int first = c == from.chunk ? from.box : 0;
        const int last =
            c == to.chunk ? std::min(to.box, int(boxes.size()) - 1) : int(boxes.size()) - 1;
        for (int i = first; i <= last; ++i) {
            const TTextBox& box = boxes[std::size_t(i)];
            const int start = c == from.chunk && i == from.box ? from.offset : 0;
            const int end = c == to.chunk && i == to.box ? to.offset : int(box.text.size());
            if (start >= end) continue;
            const int left = box.rect.left() + AdvanceTo(box, start);
            const int right = box.rect.left() + AdvanceTo(box, end);
            const QRect marked =
                QRect(left, box.rect.top(), right - left, box.rect.height()).translated(-offset);
            painter.fillRect(marked, back);
            if (!box.font || IsBlank(box.text)) continue;
            // The whole word again in the highlighted colour, clipped to the marked part, so
            // that the glyphs fall exactly where the page drew them.
            painter.save();
            painter.setClipRect(marked);
            painter.setFont(box.font->font);
            painter.setPen(fore);
            painter.drawText(box.rect.topLeft() - offset + QPoint(0, box.font->metrics.ascent()),
                             box.text);
            painter.restore();
        }
    }
}

void TPageViewer::resizeEvent(QResizeEvent*) { Relayout(); }

void TPageViewer::scrollContentsBy(int, int) { viewport()->update(); }

void TPageViewer::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);  // so that Ctrl+C reaches the selection made here
    const QPoint view = event->position().toPoint();
    const QPoint page = view + PageOffset();
    clickedLink_.reset();
    layout_->ButtonDown(page, view);
    if (const auto caret = CaretAt(page)) {
        focus_ = *caret;
        if (!(event->modifiers() & Qt::ShiftModifier)) anchor_ = *caret;
    }
    selecting_ = true;
    dragged_ = (event->modifiers() & Qt::ShiftModifier) != 0;
    pressPoint_ = view;
    viewport()->update();
    event->accept();
}

void TPageViewer::mouseMoveEvent(QMouseEvent* event) {
    QPoint view = event->position().toPoint();
    QPoint page = view + PageOffset();
    if (layout_->MouseOver(page, view)) viewport()->update();
    if (selecting_ && (event->buttons() & Qt::LeftButton)) {
        if ((view - pressPoint_).manhattanLength() >= QApplication::startDragDistance()) {
            dragged_ = true;
        }
        if (dragged_) {
            // Dragging past an edge scrolls the page along.
            const QRect inside = viewport()->rect();
            if (view.y() < inside.top()) verticalScrollBar()->setValue(page.y());
            if (view.y() > inside.bottom()) {
                verticalScrollBar()->setValue(page.y() - inside.height());
            }
            if (view.x() < inside.left()) horizontalScrollBar()->setValue(page.x());
            if (view.x() > inside.right()) {
                horizontalScrollBar()->setValue(page.x() - inside.width());
            }
            page = view + PageOffset();
            if (const auto caret = CaretAt(page)) focus_ = *caret;
            viewport()->update();
        }
    }
    UpdateCursor(view);
    event->accept();
}

void TPageViewer::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    const QPoint view = event->position().toPoint();
    const QPoint page = view + PageOffset();
    clickedLink_.reset();
    if (layout_->ButtonUp(page, view)) viewport()->update();
    const std::optional<std::string> link = std::move(clickedLink_);
    clickedLink_.reset();
    // A page loaded since the press has other rows under the pointer: the click is dropped
    // rather than acted on a row the user never pressed.
    const bool pressedHere = selecting_;
    const bool wasSelecting = selecting_ && dragged_;
    selecting_ = dragged_ = false;
    event->accept();
    if (wasSelecting) {
        PublishSelection();
    } else if (link && pressedHere) {
        RaiseHotSpotClick(*link);  // last: the handler may replace the page
    }
}

void TPageViewer::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint page = event->position().toPoint() + PageOffset();
    const auto caret = CaretAt(page);
    if (caret) {
        const TTextBox& box = layout_->Boxes(caret->chunk)[std::size_t(caret->box)];
        if (box.rect.contains(page) && !IsBlank(box.text)) {
            anchor_ = TCaret{caret->chunk, caret->box, 0};
            focus_ = TCaret{caret->chunk, caret->box, int(box.text.size())};
        }
    }
    // The release that follows is not a second click: one double click on a "delete" link
    // must not act on the row that moved into its place.
    selecting_ = dragged_ = true;
    viewport()->update();
    event->accept();
}

void TPageViewer::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        CopyToClipboard();
        event->accept();
    } else if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        event->accept();
    } else if (event->key() == Qt::Key_Home || event->key() == Qt::Key_End) {
        QScrollBar* bar = verticalScrollBar();
        bar->setValue(event->key() == Qt::Key_Home ? bar->minimum() : bar->maximum());
        event->accept();
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void TPageViewer::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu = CreateContextMenu();
    menu->exec(event->globalPos());
}

bool TPageViewer::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave && layout_) {
        if (layout_->MouseLeave()) viewport()->update();
        engineCursor_ = "auto";
        viewport()->unsetCursor();
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void TPageViewer::UpdateCursor(QPoint view) {
    Qt::CursorShape shape = Qt::ArrowCursor;
    const QPoint page = view + PageOffset();
    if (engineCursor_ == "pointer") {
        shape = Qt::PointingHandCursor;
    } else if (engineCursor_ == "text" || (selecting_ && dragged_) || OnWord(page)) {
        shape = Qt::IBeamCursor;
    }
    if (viewport()->cursor().shape() != shape) viewport()->setCursor(shape);
}

bool TPageViewer::OnWord(QPoint page) const {
    const auto& boxes = layout_->Boxes(layout_->ChunkAt(page.y()));
    return std::any_of(boxes.begin(), boxes.end(), [&](const TTextBox& b) {
        return b.rect.contains(page) && !IsBlank(b.text);
    });
}

void TPageViewer::RaiseHotSpotClick(const std::string& src) {
    bool handled = false;
    if (OnHotSpotClick) OnHotSpotClick(this, src, handled);
    if (handled) return;
    const QUrl url(QString::fromUtf8(src));
    const QString scheme = url.scheme().toLower();
    if (scheme == u"http" || scheme == u"https" || scheme == u"mailto") {
        QDesktopServices::openUrl(url);
    }
}

}  // namespace kavrel
