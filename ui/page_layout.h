#pragma once

#include <litehtml/litehtml.h>

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/page_container.h"

class QPainter;

// A page laid out for the viewer: what it paints, the words it shows and where, and the
// mouse as the engine sees it. The page comes in chunks (the whole page, or one table row
// each) so that a long page needs to be laid out only near the view.
namespace kavrel {

// One word or blank of the laid-out page, in page coordinates, in reading order.
struct TTextBox {
    QString text;
    QRect rect;
    std::shared_ptr<const TPageContainer::TFont> font;
    int row = -1;              // table row it sits in, -1 outside tables
    int cell = -1;             // table cell it sits in, -1 outside tables
    int block = -1;            // innermost block (paragraph, cell, list item) it sits in
    bool breakBefore = false;  // a line break comes between it and the box before
};

// What every document of a page shares: the engine's context, the bridge to Qt and the style
// of links. Documents must go before it.
class TPageEngine {
  public:
    TPageEngine();
    TPageEngine(const TPageEngine&) = delete;
    TPageEngine& operator=(const TPageEngine&) = delete;

    void SetLinkColour(const std::string& colour);
    std::shared_ptr<litehtml::document> Parse(const std::string& text);

    TPageContainer container;

  private:
    litehtml::context context_;
    litehtml::css linkStyle_;
};

// Whether el is an element of this tag name (any case).
bool IsTag(const litehtml::element& el, const char* tag);

// The text boxes of a laid-out document; row counts the document's table rows.
std::vector<TTextBox> CollectBoxes(litehtml::document& document, const TPageContainer& container);

class TPageLayout {
  public:
    virtual ~TPageLayout() = default;

    // Lays the page out for a view of this width.
    virtual void Render(int width) = 0;
    virtual QSize Size() const = 0;
    // Paints area (page coordinates) with the page's origin at origin.
    virtual void Draw(QPainter& painter, const QRect& area, QPoint origin) = 0;

    virtual int ChunkCount() const = 0;
    // The chunk at or nearest to a page height.
    virtual int ChunkAt(int y) const = 0;
    // From the top of the chunk's first box to the bottom of its last, or more.
    virtual std::pair<int, int> ChunkSpan(int chunk) const = 0;
    virtual const std::vector<TTextBox>& Boxes(int chunk) = 0;
    // The boxes for their text alone: their rectangles may only tell one line from the next.
    virtual std::vector<TTextBox> TextBoxes(int chunk) { return Boxes(chunk); }
    virtual const std::vector<TTextBox>& AllBoxes() = 0;
    virtual bool HasText() { return !AllBoxes().empty(); }

    // Mouse events at page points; true when the page wants painting again.
    virtual bool MouseOver(QPoint page, QPoint client) = 0;
    virtual bool ButtonDown(QPoint page, QPoint client) = 0;
    virtual bool ButtonUp(QPoint page, QPoint client) = 0;
    virtual bool MouseLeave() = 0;

    // Gives back what lies away from the view, between top and bottom.
    virtual void Trim(int /*top*/, int /*bottom*/) {}
    // The layout found that it cannot show the page as the whole document would.
    virtual bool Failed() const { return false; }
};

}  // namespace kavrel
