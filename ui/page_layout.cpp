#include "ui/page_layout.h"

#include <litehtml/el_text.h>

#include <functional>

#include "ui/master_style_sheet.h"

namespace kavrel {
bool IsTag(const litehtml::element& el, const char* tag) {
    const char* name = el.get_tagName();
    return name && litehtml::t_strcasecmp(name, tag) == 0;
}

TPageEngine::TPageEngine() { context_.load_master_stylesheet(kMasterStyleSheet); }

void TPageEngine::SetLinkColour(const std::string& colour) {
    const std::string css =
        "a[href], a[href]:hover, a[href]:active, a[href]:visited { color: " + colour + "; }";
    linkStyle_.clear();
    linkStyle_.parse_stylesheet(css.c_str(), nullptr, nullptr, litehtml::media_query_list::ptr());
    linkStyle_.sort_selectors();
}

std::shared_ptr<litehtml::document> TPageEngine::Parse(const std::string& text) {
    return litehtml::document::createFromUTF8(text.c_str(), &container, &context_, &linkStyle_);
}

std::vector<TTextBox> CollectBoxes(litehtml::document& document, const TPageContainer& container) {
    std::vector<TTextBox> boxes;
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
                    box.font = container.FontPtr(el->get_font());
                    box.row = row;
                    box.cell = cell;
                    box.block = block;
                    box.breakBefore = lineBreak;
                    lineBreak = false;
                    boxes.push_back(std::move(box));
                }
            }
            for (std::size_t i = 0; i < el->get_children_count(); ++i) {
                visit(el->get_child(int(i)), row, cell, block);
            }
        };
    if (document.root()) visit(document.root(), -1, -1, -1);
    return boxes;
}

}  // namespace kavrel
