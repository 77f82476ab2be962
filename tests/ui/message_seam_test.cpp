#include "ui/message_seam.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace kavrel {
namespace {

// The real box, answered by clicking its button once it is up.
TEST(MessageBox, ShowsOutsideTextAsPlainLines) {
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        poll.stop();
        shown = box->text();
        format = box->textFormat();
        box->button(QMessageBox::No)->click();
    });
    poll.start(10);
    const bool yes = AskYesNo(nullptr, QStringLiteral("Confirm delete"),
                              QStringLiteral("Delete message with subject of \r<b>Hi</b>"));
    EXPECT_FALSE(yes);
    EXPECT_EQ(shown, "Delete message with subject of \n<b>Hi</b>");
    EXPECT_EQ(format, Qt::PlainText);
}

}  // namespace
}  // namespace kavrel
