#include "ui/status_panel.h"

#include <QLabel>
#include <algorithm>

namespace kavrel {
namespace {

constexpr int kMargin = 8;
constexpr int kBottom = 5;
constexpr int kGap = 8;
// At the default font the count starts at 196 pixels, as it always has.
constexpr int kFirstColumn = 180;

}  // namespace

TStatusPanel::TStatusPanel(QLabel* interval, QLabel* messages, QLabel* lastChecked, QWidget* parent)
    : QWidget(parent), interval_(interval), messages_(messages), lastChecked_(lastChecked) {
    for (QLabel* label : {interval_, messages_, lastChecked_}) label->setParent(this);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int TStatusPanel::RowHeight() const {
    return std::max({interval_->sizeHint().height(), messages_->sizeHint().height(),
                     lastChecked_->sizeHint().height()});
}

int TStatusPanel::MessagesLeft() const {
    return kMargin + std::max(kFirstColumn, interval_->sizeHint().width()) + kGap;
}

// The count may run up to the window's edge: at the smallest window and the default font it
// still sits beside the interval.
bool TStatusPanel::SideBySide(int width) const {
    return MessagesLeft() + messages_->sizeHint().width() <= width;
}

int TStatusPanel::heightForWidth(int width) const {
    return kMargin + (SideBySide(width) ? 2 : 3) * RowHeight() + kBottom;
}

QSize TStatusPanel::sizeHint() const {
    const int width = std::max(MessagesLeft() + messages_->sizeHint().width(),
                               2 * kMargin + lastChecked_->sizeHint().width());
    return {width, heightForWidth(width)};
}

QSize TStatusPanel::minimumSizeHint() const {
    const int width =
        2 * kMargin + std::max({interval_->sizeHint().width(), messages_->sizeHint().width(),
                                lastChecked_->sizeHint().width()});
    return {width, heightForWidth(width)};
}

void TStatusPanel::Refit() {
    updateGeometry();
    Arrange();
}

void TStatusPanel::Arrange() {
    const int w = width();
    const int h = RowHeight();
    const int rest = w - kMargin;
    interval_->setGeometry(kMargin, kMargin, MessagesLeft() - kGap - kMargin, h);
    lastChecked_->setGeometry(kMargin, kMargin + h,
                              std::max(rest - kMargin, lastChecked_->sizeHint().width()), h);
    if (SideBySide(w)) {
        messages_->setGeometry(MessagesLeft(), kMargin, w - MessagesLeft(), h);
    } else {
        messages_->setGeometry(kMargin, kMargin + 2 * h,
                               std::max(rest - kMargin, messages_->sizeHint().width()), h);
    }
}

void TStatusPanel::resizeEvent(QResizeEvent*) { Arrange(); }

}  // namespace kavrel
