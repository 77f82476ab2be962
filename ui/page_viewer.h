#pragma once

#include <litehtml/litehtml.h>

#include <QAbstractScrollArea>
#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/page_container.h"

class QMenu;

// The page viewer html1: shows one HTML page laid out at its own width, reports clicks on the
// page's links, and lets the user select and copy its text.
namespace kavrel {

class TPageViewer : public QAbstractScrollArea {
    Q_OBJECT

  public:
    // One word or blank of the laid-out page, in page coordinates, in reading order.
    struct TTextBox {
        QString text;
        QRect rect;
        litehtml::uint_ptr font = 0;
        int row = -1;              // table row it sits in, -1 outside tables
        int cell = -1;             // table cell it sits in, -1 outside tables
        int block = -1;            // innermost block (paragraph, cell, list item) it sits in
        bool breakBefore = false;  // a line break comes between it and the box before
    };

    // A click on a link: SRC is its href. Left unhandled, an absolute web or mail address is
    // opened by the desktop; anything else is ignored.
    using THotSpotClick =
        std::function<void(TPageViewer* Sender, const std::string& SRC, bool& Handled)>;
    THotSpotClick OnHotSpotClick;

    explicit TPageViewer(QWidget* parent = nullptr);
    ~TPageViewer() override;

    // Replaces the page shown, selection included, and shows the new one from its top. The text
    // is UTF-8; any byte that is not is read as Windows-1252.
    void LoadFromString(const std::string& page);

    QSize PageSize() const;
    const std::vector<TTextBox>& TextBoxes() const { return boxes_; }
    // The font a box is drawn in.
    QFont FontOf(const TTextBox& box) const;

    bool HasSelection() const;
    QString SelectedText() const;
    void SelectAll();
    void ClearSelection();
    void CopyToClipboard() const;
    // The context menu: Copy and Select All.
    std::unique_ptr<QMenu> CreateContextMenu();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;

  private:
    struct TCaret {
        int box = 0;
        int offset = 0;  // in UTF-16 units of the box's text
        auto operator<=>(const TCaret&) const = default;
    };

    void Relayout();
    void CollectBoxes();
    void UpdateScrollBars();
    QPoint PageOffset() const;
    std::optional<TCaret> CaretAt(QPoint pagePoint) const;
    int OffsetInBox(const TTextBox& box, int x) const;
    int AdvanceTo(const TTextBox& box, int offset) const;
    void PaintSelection(QPainter& painter) const;
    void UpdateCursor(QPoint viewportPoint);
    void PublishSelection() const;
    void RaiseHotSpotClick(const std::string& src);

    // The document needs its context and container for as long as it lives and frees its
    // fonts through the container: it is declared after them so that it goes first.
    litehtml::context context_;
    TPageContainer container_;
    litehtml::css linkStyle_;
    std::shared_ptr<litehtml::document> document_;
    // What document_ was made from.
    std::string loadedText_;
    std::string loadedLinkColour_;

    std::vector<TTextBox> boxes_;
    TCaret anchor_;
    TCaret focus_;
    bool selecting_ = false;  // a left press on the page shown has not been released yet
    bool dragged_ = false;    // ... and has moved far enough to select instead of click
    QPoint pressPoint_;
    std::string engineCursor_ = "auto";
    std::optional<std::string> clickedLink_;
};

}  // namespace kavrel
