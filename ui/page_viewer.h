#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/page_layout.h"

class QMenu;

// The page viewer html1: shows one HTML page laid out at its own width, reports clicks on the
// page's links, and lets the user select and copy its text. A page that is one long table is
// laid out only near the view.
namespace kavrel {

class TPageViewer : public QAbstractScrollArea {
    Q_OBJECT

  public:
    using TTextBox = kavrel::TTextBox;

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
    // Links take the tool-tip text colour unless given one here (an invalid colour undoes it);
    // it applies from the next load.
    void SetLinkColour(const QColor& colour) { linkColour_ = colour; }

    QSize PageSize() const;
    // Every box of the page; on a long table this lays out all of it.
    const std::vector<TTextBox>& TextBoxes() const;
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
        int chunk = 0;
        int box = 0;
        int offset = 0;  // in UTF-16 units of the box's text
        auto operator<=>(const TCaret&) const = default;
    };

    void Relayout();
    // Shows the page as one document when the layout of its parts went wrong.
    void FallBack();
    void UpdateScrollBars();
    QPoint PageOffset() const;
    std::optional<TCaret> CaretAt(QPoint pagePoint) const;
    int OffsetInBox(const TTextBox& box, int x) const;
    int AdvanceTo(const TTextBox& box, int offset) const;
    void PaintSelection(QPainter& painter) const;
    void UpdateCursor(QPoint viewportPoint);
    bool OnWord(QPoint pagePoint) const;
    void PublishSelection() const;
    void RaiseHotSpotClick(const std::string& src);

    // The layout's documents free their fonts through the engine's container: the layout is
    // declared after it so that it goes first.
    TPageEngine engine_;
    std::unique_ptr<TPageLayout> layout_;
    // What layout_ was made from.
    std::string loadedText_;
    std::string loadedLinkColour_;
    QColor linkColour_;

    TCaret anchor_;
    TCaret focus_;
    bool selecting_ = false;  // a left press on the page shown has not been released yet
    bool dragged_ = false;    // ... and has moved far enough to select instead of click
    QPoint pressPoint_;
    std::string engineCursor_ = "auto";
    std::optional<std::string> clickedLink_;
};

}  // namespace kavrel
