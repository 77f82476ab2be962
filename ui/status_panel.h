#pragma once

#include <QWidget>

class QLabel;

// The main window's three status labels: the check interval and the waiting count side by side
// with the last check under them, where they have always been. When the desktop's font or a
// long count leaves no room beside the interval, the count takes a row of its own below.
namespace kavrel {

class TStatusPanel final : public QWidget {
  public:
    TStatusPanel(QLabel* interval, QLabel* messages, QLabel* lastChecked, QWidget* parent);

    // After a label's text or font changed.
    void Refit();

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Arrange();
    int RowHeight() const;
    int MessagesLeft() const;
    bool SideBySide(int width) const;

    QLabel* interval_;
    QLabel* messages_;
    QLabel* lastChecked_;
};

}  // namespace kavrel
