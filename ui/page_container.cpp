#include "ui/page_container.h"

#include <QPainter>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <climits>

#include "base/integer.h"

namespace kavrel {
namespace {

QColor ToQColor(const litehtml::web_color& c) { return QColor(c.red, c.green, c.blue, c.alpha); }

QRect ToQRect(const litehtml::position& p) { return QRect(p.x, p.y, p.width, p.height); }

// "Arial", '"Courier New", monospace': the names fontconfig is to resolve, in order.
QStringList Families(const char* faceName) {
    QStringList out;
    for (QString name : QString::fromUtf8(faceName).split(u',', Qt::SkipEmptyParts)) {
        name = name.trimmed();
        if (name.size() >= 2 && (name.front() == u'"' || name.front() == u'\'') &&
            name.back() == name.front()) {
            name = name.mid(1, name.size() - 2).trimmed();
        }
        if (!name.isEmpty()) out << name;
    }
    if (out.isEmpty()) out << QStringLiteral("Arial");
    return out;
}

QFont::StyleHint HintFor(const QStringList& families) {
    for (const QString& f : families) {
        const QString n = f.toLower();
        if (n == u"monospace" || n.startsWith(u"courier")) return QFont::Monospace;
        if (n == u"serif" || n.startsWith(u"times")) return QFont::Serif;
    }
    return QFont::SansSerif;
}

// cellpadding is a table attribute that the engine does not read: it becomes the padding of
// each cell, under whatever the cell's own style attribute says.
class TCellElement final : public litehtml::el_td {
  public:
    using el_td::el_td;

    void parse_attributes() override {
        for (litehtml::element::ptr up = parent(); up; up = up->parent()) {
            if (litehtml::t_strcasecmp(up->get_tagName(), "table") != 0) continue;
            if (const char* padding = up->get_attr("cellpadding")) {
                if (const auto px = TryStrToInt(padding); px && *px >= 0) {
                    const std::string value = std::to_string(*px) + "px";
                    m_style.add_property("padding", value.c_str(), nullptr, false, this);
                }
            }
            break;
        }
        el_td::parse_attributes();
    }
};

}  // namespace

class TPageContainer::TClipScope {
  public:
    TClipScope(QPainter& painter, const std::vector<QRect>& clips) : painter_(painter) {
        painter_.save();
        if (!clips.empty()) painter_.setClipRect(clips.back(), Qt::IntersectClip);
    }
    ~TClipScope() { painter_.restore(); }
    TClipScope(const TClipScope&) = delete;
    TClipScope& operator=(const TClipScope&) = delete;

  private:
    QPainter& painter_;
};

TPageContainer::TPageContainer() = default;

QPainter* TPageContainer::PainterOf(litehtml::uint_ptr hdc) {
    return reinterpret_cast<QPainter*>(hdc);
}

litehtml::uint_ptr TPageContainer::HandleOf(QPainter& painter) {
    return reinterpret_cast<litehtml::uint_ptr>(&painter);
}

const TPageContainer::TFont* TPageContainer::Font(litehtml::uint_ptr handle) const {
    const auto it = fonts_.find(handle);
    return it == fonts_.end() ? nullptr : it->second.get();
}

std::shared_ptr<const TPageContainer::TFont> TPageContainer::FontPtr(
    litehtml::uint_ptr handle) const {
    const auto it = fonts_.find(handle);
    return it == fonts_.end() ? nullptr : it->second;
}

litehtml::uint_ptr TPageContainer::create_font(const litehtml::tchar_t* faceName, int size,
                                               int weight, litehtml::font_style italic,
                                               unsigned int decoration,
                                               litehtml::font_metrics* fm) {
    QFont font;
    const QStringList families = Families(faceName);
    font.setFamilies(families);
    font.setStyleHint(HintFor(families));
    font.setPixelSize(std::max(1, size));
    font.setWeight(QFont::Weight(std::clamp(weight, 100, 900)));
    font.setItalic(italic == litehtml::fontStyleItalic);
    font.setUnderline(decoration & litehtml::font_decoration_underline);
    font.setStrikeOut(decoration & litehtml::font_decoration_linethrough);
    font.setOverline(decoration & litehtml::font_decoration_overline);
    auto entry = std::make_shared<TFont>(TFont{font, QFontMetrics(font)});
    if (fm) {
        fm->ascent = entry->metrics.ascent();
        fm->descent = entry->metrics.descent();
        fm->height = entry->metrics.height();
        fm->x_height = entry->metrics.xHeight();
        // Underlined and struck text carries its line across the blanks between words.
        fm->draw_spaces = italic == litehtml::fontStyleItalic || decoration != 0;
    }
    const auto handle = reinterpret_cast<litehtml::uint_ptr>(entry.get());
    fonts_.emplace(handle, std::move(entry));
    return handle;
}

void TPageContainer::delete_font(litehtml::uint_ptr hFont) { fonts_.erase(hFont); }

int TPageContainer::text_width(const litehtml::tchar_t* text, litehtml::uint_ptr hFont) {
    const TFont* f = Font(hFont);
    return f ? f->metrics.horizontalAdvance(QString::fromUtf8(text)) : 0;
}

void TPageContainer::draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t* text,
                               litehtml::uint_ptr hFont, litehtml::web_color color,
                               const litehtml::position& pos) {
    const TFont* f = Font(hFont);
    if (!f) return;
    QPainter& p = *PainterOf(hdc);
    TClipScope clip(p, clips_);
    p.setFont(f->font);
    p.setPen(ToQColor(color));
    p.drawText(QPoint(pos.x, pos.y + f->metrics.ascent()), QString::fromUtf8(text));
}

int TPageContainer::pt_to_px(int pt) const { return (pt * dpi_ + 36) / 72; }

int TPageContainer::get_default_font_size() const { return pt_to_px(10); }

const litehtml::tchar_t* TPageContainer::get_default_font_name() const { return "Arial"; }

void TPageContainer::draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) {
    QPainter& p = *PainterOf(hdc);
    TClipScope clip(p, clips_);
    const QRect r = ToQRect(marker.pos);
    p.setRenderHint(QPainter::Antialiasing);
    switch (marker.marker_type) {
        case litehtml::list_style_type_circle:
            p.setPen(ToQColor(marker.color));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(r);
            break;
        case litehtml::list_style_type_square:
            p.fillRect(r, ToQColor(marker.color));
            break;
        default:
            p.setPen(Qt::NoPen);
            p.setBrush(ToQColor(marker.color));
            p.drawEllipse(r);
            break;
    }
}

// The page holds no images; nothing is ever fetched.
void TPageContainer::load_image(const litehtml::tchar_t*, const litehtml::tchar_t*, bool) {}

void TPageContainer::get_image_size(const litehtml::tchar_t*, const litehtml::tchar_t*,
                                    litehtml::size& sz) {
    sz.width = 0;
    sz.height = 0;
}

void TPageContainer::draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint& bg) {
    if (bg.color.alpha == 0) return;
    QPainter& p = *PainterOf(hdc);
    TClipScope clip(p, clips_);
    p.fillRect(ToQRect(bg.clip_box), ToQColor(bg.color));
}

void TPageContainer::draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& borders,
                                  const litehtml::position& draw_pos, bool) {
    QPainter& p = *PainterOf(hdc);
    TClipScope clip(p, clips_);
    const QRect r = ToQRect(draw_pos);
    const auto side = [&](const litehtml::border& b, const QRect& area) {
        if (b.width <= 0 || b.style == litehtml::border_style_none ||
            b.style == litehtml::border_style_hidden) {
            return;
        }
        p.fillRect(area, ToQColor(b.color));
    };
    side(borders.top, QRect(r.left(), r.top(), r.width(), borders.top.width));
    side(borders.bottom,
         QRect(r.left(), r.bottom() + 1 - borders.bottom.width, r.width(), borders.bottom.width));
    side(borders.left, QRect(r.left(), r.top(), borders.left.width, r.height()));
    side(borders.right,
         QRect(r.right() + 1 - borders.right.width, r.top(), borders.right.width, r.height()));
}

void TPageContainer::set_caption(const litehtml::tchar_t*) {}

void TPageContainer::set_base_url(const litehtml::tchar_t*) {}

void TPageContainer::link(const std::shared_ptr<litehtml::document>&,
                          const litehtml::element::ptr&) {}

void TPageContainer::on_anchor_click(const litehtml::tchar_t* url, const litehtml::element::ptr&) {
    if (OnAnchorClick) OnAnchorClick(url ? url : "");
}

void TPageContainer::set_cursor(const litehtml::tchar_t* cursor) {
    if (OnCursor) OnCursor(cursor ? cursor : "auto");
}

void TPageContainer::transform_text(litehtml::tstring& text, litehtml::text_transform tt) {
    QString t = QString::fromUtf8(text);
    switch (tt) {
        case litehtml::text_transform_uppercase:
            t = t.toUpper();
            break;
        case litehtml::text_transform_lowercase:
            t = t.toLower();
            break;
        case litehtml::text_transform_capitalize:
            if (!t.isEmpty()) t[0] = t[0].toUpper();
            break;
        default:
            return;
    }
    text = t.toStdString();
}

// Style sheets come from the page alone: nothing outside it is read.
void TPageContainer::import_css(litehtml::tstring& text, const litehtml::tstring&,
                                litehtml::tstring&) {
    text.clear();
}

void TPageContainer::set_clip(const litehtml::position& pos, const litehtml::border_radiuses&,
                              bool valid_x, bool valid_y) {
    // An axis that is not valid is not clipped along.
    QRect r = ToQRect(pos);
    if (!valid_x) r.setLeft(INT_MIN / 2), r.setRight(INT_MAX / 2);
    if (!valid_y) r.setTop(INT_MIN / 2), r.setBottom(INT_MAX / 2);
    if (!clips_.empty()) r &= clips_.back();
    clips_.push_back(r);
}

void TPageContainer::del_clip() {
    if (!clips_.empty()) clips_.pop_back();
}

void TPageContainer::get_client_rect(litehtml::position& client) const {
    client = litehtml::position(0, 0, client_.width(), client_.height());
}

std::shared_ptr<litehtml::element> TPageContainer::create_element(
    const litehtml::tchar_t* tag_name, const litehtml::string_map&,
    const std::shared_ptr<litehtml::document>& doc) {
    if (litehtml::t_strcasecmp(tag_name, "td") == 0 ||
        litehtml::t_strcasecmp(tag_name, "th") == 0) {
        return std::make_shared<TCellElement>(doc);
    }
    return nullptr;
}

void TPageContainer::get_media_features(litehtml::media_features& media) const {
    media.type = litehtml::media_type_screen;
    media.width = client_.width();
    media.height = client_.height();
    media.device_width = client_.width();
    media.device_height = client_.height();
    media.color = 8;
    media.color_index = 0;
    media.monochrome = 0;
    media.resolution = dpi_;
}

void TPageContainer::get_language(litehtml::tstring& language, litehtml::tstring& culture) const {
    language = "en";
    culture.clear();
}

}  // namespace kavrel
