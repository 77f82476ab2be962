#include "ui/document_layout.h"

#include <QPainter>

#include <algorithm>
#include <climits>

namespace kavrel {

TDocumentLayout::TDocumentLayout(TPageEngine& engine, const std::string& text)
    : engine_(engine), document_(engine.Parse(text)) {}

void TDocumentLayout::Render(int width) {
    document_->render(std::max(1, width));
    boxes_ = CollectBoxes(*document_, engine_.container);
}

QSize TDocumentLayout::Size() const { return QSize(document_->width(), document_->height()); }

void TDocumentLayout::Draw(QPainter& painter, const QRect& area, QPoint origin) {
    const QRect device = area.translated(origin);
    const litehtml::position clip(device.x(), device.y(), device.width(), device.height());
    document_->draw(TPageContainer::HandleOf(painter), origin.x(), origin.y(), &clip);
}

std::pair<int, int> TDocumentLayout::ChunkSpan(int) const { return {INT_MIN / 2, INT_MAX / 2}; }

bool TDocumentLayout::MouseOver(QPoint page, QPoint client) {
    litehtml::position::vector redraw;
    return document_->on_mouse_over(page.x(), page.y(), client.x(), client.y(), redraw);
}

bool TDocumentLayout::ButtonDown(QPoint page, QPoint client) {
    litehtml::position::vector redraw;
    return document_->on_lbutton_down(page.x(), page.y(), client.x(), client.y(), redraw);
}

bool TDocumentLayout::ButtonUp(QPoint page, QPoint client) {
    litehtml::position::vector redraw;
    return document_->on_lbutton_up(page.x(), page.y(), client.x(), client.y(), redraw);
}

bool TDocumentLayout::MouseLeave() {
    litehtml::position::vector redraw;
    return document_->on_mouse_leave(redraw);
}

}  // namespace kavrel
