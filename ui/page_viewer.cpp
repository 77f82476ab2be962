#include "ui/page_viewer.h"

#include <litehtml/el_text.h>

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

#include "base/text_encoding.h"
#include "ui/master_style_sheet.h"

namespace kavrel {
namespace {

bool IsTag(const litehtml::element& el, const char* tag) {
    const char* name = el.get_tagName();
    return name && litehtml::t_strcasecmp(name, tag) == 0;
}

bool IsBlank(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

}  // namespace

TPageViewer::TPageViewer(QWidget* parent) : QAbstractScrollArea(parent) {
    context_.load_master_stylesheet(kMasterStyleSheet);
    // The engine reports clicks from inside its own mouse handling; the click is acted on
    // only after it has returned, because the handler may well replace the page.
    container_.OnAnchorClick = [this](const std::string& url) { clickedLink_ = url; };
    container_.OnCursor = [this](const std::string& cursor) { engineCursor_ = cursor; };
    container_.SetDotsPerInch(logicalDpiY());
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
    // Links, hovered or not, in the tool-tip text colour.
    const std::string linkColour = palette().color(QPalette::ToolTipText).name().toStdString();
    // A check that found nothing new gives the same page again: laying out a page of ten
    // thousand rows anew would hold the window for seconds and lose the reader's place.
    if (document_ && text == loadedText_ && linkColour == loadedLinkColour_) return;
    clickedLink_.reset();
    boxes_.clear();
    anchor_ = focus_ = TCaret{};
    selecting_ = dragged_ = false;
    engineCursor_ = "auto";
    document_.reset();

    const std::string linkCss =
        "a[href], a[href]:hover, a[href]:active, a[href]:visited { color: " + linkColour + "; }";
    linkStyle_.clear();
    linkStyle_.parse_stylesheet(linkCss.c_str(), nullptr, nullptr,
                                litehtml::media_query_list::ptr());
    linkStyle_.sort_selectors();

    container_.SetClientSize(viewport()->size());
    document_ =
        litehtml::document::createFromUTF8(text.c_str(), &container_, &context_, &linkStyle_);
    Relayout();
    loadedText_ = std::move(text);
    loadedLinkColour_ = linkColour;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

QSize TPageViewer::PageSize() const {
    return document_ ? QSize(document_->width(), document_->height()) : QSize();
}

QFont TPageViewer::FontOf(const TTextBox& box) const {
    const TPageContainer::TFont* f = container_.Font(box.font);
    return f ? f->font : QFont();
}

void TPageViewer::Relayout() {
    if (!document_) return;
    container_.SetClientSize(viewport()->size());
    document_->render(std::max(1, viewport()->width()));
    CollectBoxes();
    UpdateScrollBars();
    viewport()->update();
}

void TPageViewer::CollectBoxes() {
    boxes_.clear();
    int rows = 0;
    int cells = 0;
    int blocks = 0;
    bool lineBreak = false;
    const std::function<void(const litehtml::element::ptr&, int, int, int)> visit =
        [&](const litehtml::element::ptr& el, int row, int cell, int block) {
            const litehtml::style_display display = el->get_display();
            if (display == litehtml::display_none) return;
            if (IsTag(*el, "tr")) row = rows++;
            if (display == litehtml::display_table_cell) cell = cells++;
            if (display == litehtml::display_block || display == litehtml::display_list_item ||
                display == litehtml::display_table_cell ||
                display == litehtml::display_table_caption) {
                block = blocks++;
            }
            if (IsTag(*el, "br")) lineBreak = true;
            if (dynamic_cast<const litehtml::el_text*>(el.get())) {
                std::string text;
                el->get_text(text);
                const litehtml::position pos = el->get_placement();
                // Blanks between table parts are never laid out.
                if (!el->skip() && pos.width > 0 && pos.height > 0) {
                    TTextBox box;
                    box.text = el->is_white_space() ? QStringLiteral(" ") : QString::fromUtf8(text);
                    box.rect = QRect(pos.x, pos.y, pos.width, pos.height);
                    box.font = el->get_font();
                    box.row = row;
                    box.cell = cell;
                    box.block = block;
                    box.breakBefore = lineBreak;
                    lineBreak = false;
                    boxes_.push_back(std::move(box));
                }
            }
            for (std::size_t i = 0; i < el->get_children_count(); ++i) {
                visit(el->get_child(int(i)), row, cell, block);
            }
        };
    if (document_->root()) visit(document_->root(), -1, -1, -1);
    const int last = std::max(0, int(boxes_.size()) - 1);
    anchor_.box = std::min(anchor_.box, last);
    focus_.box = std::min(focus_.box, last);
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
    const TPageContainer::TFont* f = container_.Font(box.font);
    if (!f || offset <= 0) return 0;
    if (offset >= box.text.size()) return box.rect.width();
    return std::min(box.rect.width(), f->metrics.horizontalAdvance(box.text.left(offset)));
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
    if (boxes_.empty()) return std::nullopt;
    const auto horizontal = [&](const QRect& r) {
        return p.x() < r.left() ? r.left() - p.x() : p.x() > r.right() ? p.x() - r.right() : 0;
    };
    const auto vertical = [&](const QRect& r) {
        return p.y() < r.top() ? r.top() - p.y() : p.y() > r.bottom() ? p.y() - r.bottom() : 0;
    };
    // The nearest box on the point's line, or failing one the nearest line.
    std::size_t best = 0;
    std::pair<int, int> bestDistance{INT_MAX, INT_MAX};
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        const std::pair<int, int> d{vertical(boxes_[i].rect), horizontal(boxes_[i].rect)};
        if (d < bestDistance) best = i, bestDistance = d;
    }
    return TCaret{int(best), OffsetInBox(boxes_[best], p.x())};
}

bool TPageViewer::HasSelection() const { return anchor_ != focus_ && !boxes_.empty(); }

QString TPageViewer::SelectedText() const {
    if (!HasSelection()) return {};
    const TCaret from = std::min(anchor_, focus_);
    const TCaret to = std::max(anchor_, focus_);
    QString out;
    const TTextBox* previous = nullptr;
    for (int i = from.box; i <= to.box; ++i) {
        const TTextBox& box = boxes_[std::size_t(i)];
        const int start = i == from.box ? from.offset : 0;
        const int end = i == to.box ? to.offset : int(box.text.size());
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
        previous = &box;
    }
    // The page's "&nbsp" copies as the blank it shows.
    out.replace(QChar(0x00A0), u' ');
    return out;
}

void TPageViewer::SelectAll() {
    if (boxes_.empty()) return;
    anchor_ = TCaret{0, 0};
    focus_ = TCaret{int(boxes_.size()) - 1, int(boxes_.back().text.size())};
    PublishSelection();
    viewport()->update();
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
    all->setEnabled(!boxes_.empty());
    return menu;
}

void TPageViewer::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, palette().color(QPalette::Base));
    if (!document_) return;
    const QPoint offset = PageOffset();
    const litehtml::position clip(area.x(), area.y(), area.width(), area.height());
    document_->draw(TPageContainer::HandleOf(painter), -offset.x(), -offset.y(), &clip);
    PaintSelection(painter);
}

void TPageViewer::PaintSelection(QPainter& painter) const {
    if (!HasSelection()) return;
    const TCaret from = std::min(anchor_, focus_);
    const TCaret to = std::max(anchor_, focus_);
    const QPoint offset = PageOffset();
    const QColor back = palette().color(QPalette::Highlight);
    const QColor fore = palette().color(QPalette::HighlightedText);
    for (int i = from.box; i <= to.box; ++i) {
        const TTextBox& box = boxes_[std::size_t(i)];
        const int start = i == from.box ? from.offset : 0;
        const int end = i == to.box ? to.offset : int(box.text.size());
        if (start >= end) continue;
        const int left = box.rect.left() + AdvanceTo(box, start);
        const int right = box.rect.left() + AdvanceTo(box, end);
        const QRect marked =
            QRect(left, box.rect.top(), right - left, box.rect.height()).translated(-offset);
        painter.fillRect(marked, back);
        const TPageContainer::TFont* f = container_.Font(box.font);
        if (!f || IsBlank(box.text)) continue;
        // The whole word again in the highlighted colour, clipped to the marked part, so that
        // the glyphs fall exactly where the page drew them.
        painter.save();
        painter.setClipRect(marked);
        painter.setFont(f->font);
        painter.setPen(fore);
        painter.drawText(box.rect.topLeft() - offset + QPoint(0, f->metrics.ascent()), box.text);
        painter.restore();
    }
}

void TPageViewer::resizeEvent(QResizeEvent*) { Relayout(); }

void TPageViewer::scrollContentsBy(int, int) { viewport()->update(); }

void TPageViewer::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !document_) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);  // so that Ctrl+C reaches the selection made here
    const QPoint view = event->position().toPoint();
    const QPoint page = view + PageOffset();
    litehtml::position::vector redraw;
    clickedLink_.reset();
    document_->on_lbutton_down(page.x(), page.y(), view.x(), view.y(), redraw);
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
    if (!document_) return;
    QPoint view = event->position().toPoint();
    QPoint page = view + PageOffset();
    litehtml::position::vector redraw;
    if (document_->on_mouse_over(page.x(), page.y(), view.x(), view.y(), redraw)) {
        viewport()->update();
    }
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
    if (event->button() != Qt::LeftButton || !document_) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    const QPoint view = event->position().toPoint();
    const QPoint page = view + PageOffset();
    clickedLink_.reset();
    litehtml::position::vector redraw;
    if (document_->on_lbutton_up(page.x(), page.y(), view.x(), view.y(), redraw)) {
        viewport()->update();
    }
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
        const TTextBox& box = boxes_[std::size_t(caret->box)];
        if (box.rect.contains(page) && !IsBlank(box.text)) {
            anchor_ = TCaret{caret->box, 0};
            focus_ = TCaret{caret->box, int(box.text.size())};
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
    if (event->type() == QEvent::Leave && document_) {
        litehtml::position::vector redraw;
        if (document_->on_mouse_leave(redraw)) viewport()->update();
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
    } else if (engineCursor_ == "text" || (selecting_ && dragged_) ||
               std::any_of(boxes_.begin(), boxes_.end(), [&](const TTextBox& b) {
                   return b.rect.contains(page) && !IsBlank(b.text);
               })) {
        shape = Qt::IBeamCursor;
    }
    if (viewport()->cursor().shape() != shape) viewport()->setCursor(shape);
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
