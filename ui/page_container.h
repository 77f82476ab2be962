#pragma once

// The engine's element headers need its main header first.
#include <litehtml/litehtml.h>

#include <litehtml/el_td.h>

#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QSize>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QPainter;

// The bridge between the layout engine and Qt: fonts through QFont, painting through the
// QPainter handed to each draw call, and the page's clicks and cursor handed on to the viewer.
namespace kavrel {

class TPageContainer final : public litehtml::document_container {
  public:
    struct TFont {
        QFont font;
        QFontMetrics metrics;
    };

    TPageContainer();

    // Called during the engine's mouse handling; the receiver must not touch the document then.
    std::function<void(const std::string& url)> OnAnchorClick;
    std::function<void(const std::string& cursor)> OnCursor;

    void SetClientSize(QSize size) { client_ = size; }
    void SetDotsPerInch(int dpi) { dpi_ = dpi > 0 ? dpi : 96; }
    // The font behind an engine handle; nullptr for a handle this container did not make.
    const TFont* Font(litehtml::uint_ptr handle) const;
    // The same, kept alive for as long as the caller holds it.
    std::shared_ptr<const TFont> FontPtr(litehtml::uint_ptr handle) const;

    static QPainter* PainterOf(litehtml::uint_ptr hdc);
    static litehtml::uint_ptr HandleOf(QPainter& painter);

    litehtml::uint_ptr create_font(const litehtml::tchar_t* faceName, int size, int weight,
                                   litehtml::font_style italic, unsigned int decoration,
                                   litehtml::font_metrics* fm) override;
    void delete_font(litehtml::uint_ptr hFont) override;
    int text_width(const litehtml::tchar_t* text, litehtml::uint_ptr hFont) override;
    void draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t* text, litehtml::uint_ptr hFont,
                   litehtml::web_color color, const litehtml::position& pos) override;
    int pt_to_px(int pt) const override;
    int get_default_font_size() const override;
    const litehtml::tchar_t* get_default_font_name() const override;
    void draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) override;
    void load_image(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl,
                    bool redraw_on_ready) override;
    void get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl,
                        litehtml::size& sz) override;
    void draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint& bg) override;
    void draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& borders,
                      const litehtml::position& draw_pos, bool root) override;
    void set_caption(const litehtml::tchar_t* caption) override;
    void set_base_url(const litehtml::tchar_t* base_url) override;
    void link(const std::shared_ptr<litehtml::document>& doc,
              const litehtml::element::ptr& el) override;
    void on_anchor_click(const litehtml::tchar_t* url, const litehtml::element::ptr& el) override;
    void set_cursor(const litehtml::tchar_t* cursor) override;
    void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override;
    void import_css(litehtml::tstring& text, const litehtml::tstring& url,
                    litehtml::tstring& baseurl) override;
    void set_clip(const litehtml::position& pos, const litehtml::border_radiuses& bdr_radius,
                  bool valid_x, bool valid_y) override;
    void del_clip() override;
    void get_client_rect(litehtml::position& client) const override;
    std::shared_ptr<litehtml::element> create_element(
        const litehtml::tchar_t* tag_name, const litehtml::string_map& attributes,
        const std::shared_ptr<litehtml::document>& doc) override;
    void get_media_features(litehtml::media_features& media) const override;
    void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override;

  private:
    // Applies the engine's innermost clip to a painter for one draw call.
    class TClipScope;

    std::map<litehtml::uint_ptr, std::shared_ptr<const TFont>> fonts_;
    std::vector<QRect> clips_;
    QSize client_;
    int dpi_ = 96;
};

}  // namespace kavrel
