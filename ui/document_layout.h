#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/page_layout.h"

// The whole page as one document: any page the viewer is given can be shown this way.
namespace kavrel {

class TDocumentLayout final : public TPageLayout {
  public:
    TDocumentLayout(TPageEngine& engine, const std::string& text);

    void Render(int width) override;
    QSize Size() const override;
    void Draw(QPainter& painter, const QRect& area, QPoint origin) override;

    int ChunkCount() const override { return 1; }
    int ChunkAt(int) const override { return 0; }
    std::pair<int, int> ChunkSpan(int) const override;
    const std::vector<TTextBox>& Boxes(int) override { return boxes_; }
    const std::vector<TTextBox>& AllBoxes() override { return boxes_; }

    bool MouseOver(QPoint page, QPoint client) override;
    bool ButtonDown(QPoint page, QPoint client) override;
    bool ButtonUp(QPoint page, QPoint client) override;
    bool MouseLeave() override;

  private:
    TPageEngine& engine_;
    std::shared_ptr<litehtml::document> document_;
    std::vector<TTextBox> boxes_;
};

}  // namespace kavrel
